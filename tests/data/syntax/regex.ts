export function trimSlashes(path: string): string {
  return path.replace(/^\/+|\/+$/g, "");
}
const pattern: RegExp = /[\w.-]+@[\w-]+\.\w+/u;
const scaled = width / 2 / ratio;
type Quote = '"' | "'";
const check = (s: string) => /["'`]/.test(s) && s.length / 2 > 1;
