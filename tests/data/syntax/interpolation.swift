let text = """
    Hello \( name("""x""") ) and \(count) items
    """
let choice = "a \(flag ? "x" : "y") c"
let call = "\(f(a, "b)"))" + "next"
let raw = ##"x "# y"##
let rawInterpolated = #"value: \#(value) and \(not) "inner""#
let multiRaw = ##"""
    contains """# and "# but still open
    """##
let after = 1
