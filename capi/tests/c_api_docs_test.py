"""docs/c-api.md against the header: every exported function is declared in the
page's C blocks with its exact signature, every function declared there is in
the header, and every type and enumeration of the header is shown as it is
(comments and spacing aside).

Usage: c_api_docs_test.py HEADER PAGE
"""
import re
import sys

header_path, page_path = sys.argv[1:3]


def normalized(code):
    """Code without comments, with one space for any run of spaces, none inside brackets."""
    code = re.sub(r"/\*.*?\*/", " ", code, flags=re.S)
    code = re.sub(r"//[^\n]*", " ", code)
    code = re.sub(r"\s+", " ", code)
    return re.sub(r"\s*([()\[\]{};,])\s*", r"\1", code).replace(",", ", ").strip()


with open(header_path) as file:
    header = file.read()
with open(page_path) as file:
    page = normalized("\n".join(re.findall(r"```c\n(.*?)```", file.read(), flags=re.S)))

uncommented = re.sub(r"/\*.*?\*/", "", header, flags=re.S)
exported = [normalized(d) for d in re.findall(r"^ANIMATIONMODEL_C_EXPORT\s+([^;]*;)", uncommented, flags=re.M)]
types = [normalized(t) for t in re.findall(r"^(typedef [^;{]*(?:\{[^}]*\}[^;]*)?;|enum\s*\{[^}]*\};)", uncommented,
                                           flags=re.M)]
documented = {m for m in re.findall(r"(?:^|[;}])((?:const )?\w+\*? ?\*?am_\w+\([^()]*\);)", page)
              if not m.startswith(("return ", "else "))}

problems = []
if len(exported) < 40 or len(types) < 7:
    problems.append(f"the header was not read: {len(exported)} functions, {len(types)} types")
problems += [f"not in docs/c-api.md as declared: {d}" for d in exported if d not in page]
problems += [f"not in docs/c-api.md as declared: {t}" for t in types if t not in page]
problems += [f"in docs/c-api.md but not in the header: {d}" for d in sorted(documented - set(exported))]
for problem in problems:
    print(problem)
sys.exit(1 if problems else 0)
