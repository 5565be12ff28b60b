#!/bin/sh
cat <<EOF
it's here, $HOME and ${USER:-nobody}
EOF
echo "after"
cat <<'EOF' > notes.txt
no $expansion here, it's literal
EOF
cat <<"END"
"quoted" end
END
	cat <<-TABBED
	indented body with $var
	TABBED
cat <<\RAW
$raw
RAW
x=$((1<<2))
y=$(( (x << 3) + 1 ))
read -r line <<< "$input"
val=${line#"${arr[1]}:"}
msg="${name:-"it's"} ok"
dir="$(dirname "$0")"
echo '$HOME stays literal'
cat <<EOF | grep x # a comment after the opener
body line
 EOF is not the end
EOF
echo done
