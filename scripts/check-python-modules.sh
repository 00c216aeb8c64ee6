#!/usr/bin/env bash
# Checks that Debian's /usr/bin/python3 imports every module that the tests' Python helpers
# (tests/**/*.py) import, the serial modules that pymodbus loads only when its serial server
# starts, the accessibility tree's bindings, and any module named on the command line. Names each missing module and fails.
# Usage: scripts/check-python-modules.sh [MODULE...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

python=/usr/bin/python3
if [ ! -x "$python" ]; then
    echo "$python is missing: run scripts/install-deps.sh" >&2
    exit 1
fi

mapfile -t helpers < <(find "$top/tests" -name '*.py' | sort)

"$python" - "$@" -- ${helpers[@]+"${helpers[@]}"} <<'EOF'
import ast
import importlib
import os
import sys

# The Debian package of each module the helpers need.
PACKAGES = {"pymodbus": "python3-pymodbus", "serial": "python3-serial",
            "serial_asyncio": "python3-serial-asyncio", "gi": "python3-gi",
            "gi.repository.Atspi": "gir1.2-atspi-2.0", "Xlib": "python3-xlib"}

split = sys.argv.index("--")
# The accessibility tree's bindings are a typelib that the gi import alone does not load.
wanted = ["serial", "serial_asyncio", "gi.repository.Atspi"] + sys.argv[1:split]
try:
    import gi
    gi.require_version("Atspi", "2.0")
except (ImportError, ValueError):
    pass  # the import below names what is missing
helpers = sys.argv[split + 1:]
for helper in helpers:
    # A helper may import a module that lies beside it.
    sys.path.append(os.path.dirname(helper))
    with open(helper, encoding="utf-8") as source:
        tree = ast.parse(source.read(), helper)
    for node in ast.walk(tree):
        if isinstance(node, ast.Import):
            wanted += [alias.name for alias in node.names]
        elif isinstance(node, ast.ImportFrom) and node.level == 0 and node.module:
            wanted.append(node.module)

missing = {}
for name in dict.fromkeys(wanted):
    try:
        importlib.import_module(name)
    except ModuleNotFoundError as error:
        # Importing a.b fails on any module that a.b needs: name the one that is missing.
        missing.setdefault(error.name or name, name)
    except Exception as error:  # there, but it does not load
        missing.setdefault(name, "%s (%s)" % (name, error))
for lacking, needer in missing.items():
    package = PACKAGES.get(lacking, PACKAGES.get(lacking.split(".")[0]))
    hint = " (Debian package %s)" % package if package else ""
    needed = "" if needer == lacking else ", needed by " + needer
    print("missing Python module for the tests: %s%s%s" % (lacking, hint, needed),
          file=sys.stderr)
if missing:
    print("%s cannot run the tests' Python helpers; run scripts/install-deps.sh"
          % sys.executable, file=sys.stderr)
    sys.exit(1)
EOF
