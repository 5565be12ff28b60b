// Regular expression literals beside division.
const base = url.replace(/(:\/*[^/]*).*$/, "$1");
if (/`/.test(body)) quote(body);
const quotes = text.match(/['"]/g), count = 2;
const slash = /[/]+/g, escaped = /\/\*/;
/^#!/.test(firstLine) && skip();
function ratio(a, b, c) {
  return /^\d+$/.test(a) ? a / b / c : 0;
}
let x = y / 2; let z = w / 3;
const half = (total) / 2, third = items[0] / 3, parts = 10 / 4 / 2;
switch (kind) {
  case /x/.source: break;
}
const choice = ready ? /a|b/i : !/c/.test(s);
const kinds = [/x/, /y/g], nested = { pattern: /[}]/ };
const kind = typeof /re/;
/* a real comment */ const after = 1;
const unclosed = a / b; // a lone slash, then a comment
