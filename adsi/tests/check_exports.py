"""QIRTool.exe exports the six directory classes and the _bstr_t conversions, imports
nothing from activeds.dll (it is bound at run time), and the sample caller DLL takes
every class it uses from QIRTool.exe.

    check_exports.py OBJDUMP QIRTool.exe AdsiCaller.dll
"""

import re
import subprocess
import sys

objdump, tool, caller = sys.argv[1:4]


def private_headers(path):
    return subprocess.run([objdump, "-p", path], check=True, capture_output=True, text=True).stdout


failures = []
tool_headers = private_headers(tool)
imported_dlls = [name.lower() for name in re.findall(r"DLL Name: (\S+)", tool_headers)]
if "activeds.dll" in imported_dlls:
    failures.append("QIRTool.exe imports activeds.dll: a machine without it could not start the collector")
exported = set(re.findall(r"^\s*\[\s*\d+\]\s+(\S+)$", tool_headers.split("Export Address Table")[-1], re.M))
for name in ("CADSIValue", "CADSIValues", "CADSIObject", "CADSISearch", "CADSISystemInfo", "CADSINameTranslate"):
    mangled = f"{len(name)}{name}"
    if not any(mangled in symbol for symbol in exported):
        failures.append(f"QIRTool.exe does not export {name}")
for symbol in ("_ZN9_com_util19ConvertStringToBSTREPKc", "_ZN9_com_util19ConvertBSTRToStringEPw"):
    if symbol not in exported:
        failures.append(f"QIRTool.exe does not export {symbol}")

caller_headers = private_headers(caller)
from_tool = caller_headers.split("DLL Name: QIRTool.exe")
if len(from_tool) < 2:
    failures.append("AdsiCaller.dll imports nothing from QIRTool.exe")
else:
    imports = from_tool[1].split("DLL Name:")[0]
    for name in ("CADSIObject", "CADSISearch", "CADSIValues", "CADSISystemInfo", "CADSINameTranslate", "CADSIValue"):
        if f"{len(name)}{name}" not in imports:
            failures.append(f"AdsiCaller.dll does not take {name} from QIRTool.exe")

for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
