"""Every repository path the README and docs/ name exists: backquoted paths from the top of the
tree, links from the document's own folder."""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1])
tops = ("tool/", "radio/", "platform/", "rigs/", "tests/", "scripts/", "docs/", "packaging/", "cmake/")
missing = []
for doc in [root / "README.md", *sorted((root / "docs").glob("*.md"))]:
    text = doc.read_text()
    named = [root / n for n in re.findall(r"`([^`\s<>*]+)`", text) if n.startswith(tops)]
    named += [doc.parent / n for n in re.findall(r"\]\(([^)#:]+)\)", text)]
    missing += [f"{doc.relative_to(root)}: {path.relative_to(root)}" for path in named if not path.exists()]
print("\n".join(missing) or "PASS")
sys.exit(1 if missing else 0)
