"""The layering check finds includes that point upward or sideways, and accepts those that do not."""
import pathlib
import subprocess
import sys
import tempfile
import unittest

CHECKER = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "check-layers"


def run_checker(files):
    """Writes `files` (path below app/ -> text) into a fresh tree and runs the checker on it."""
    with tempfile.TemporaryDirectory() as folder:
        root = pathlib.Path(folder) / "app"
        for name, text in files.items():
            path = root / name
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text, encoding="utf-8")
        result = subprocess.run([sys.executable, str(CHECKER), str(root)], capture_output=True, text=True,
                                check=False)
        return result.returncode, result.stderr


class CheckLayersTest(unittest.TestCase):
    def test_downward_and_local_includes_pass(self):
        code, errors = run_checker({
            "foundation/Clock.h": "#pragma once\n",
            "platform/Bundle.h": '#include "foundation/Clock.h"\n',
            "platform/linux/Impl.cpp": '#include "platform/Bundle.h"\n#include "Impl.moc"\n',
            "live/Setup.cpp": '#include "Setup.h"\n#include "status/Record.h"\n',
            "live/Setup.h": "#pragma once\n",
            "status/Record.h": '#include "platform/Bundle.h"\n',
            "ui/shell/App.cpp": '#include "ui/setup/View.h"\n#include "core/Controller.h"\n',
            "main.cpp": '#include "ui/shell/App.h"\n',
        })
        self.assertEqual(code, 0, errors)

    def test_planted_upward_include_fails_naming_file_and_line(self):
        code, errors = run_checker({
            "foundation/Logger.cpp": '#include <QString>\n\n#include "core/Controller.h"\n',
        })
        self.assertEqual(code, 1)
        self.assertIn("foundation/Logger.cpp:3:", errors)
        self.assertIn("higher layer core", errors)

    def test_interface_including_its_implementation_fails(self):
        code, errors = run_checker({"platform/Workspace.h": '#include "platform/linux/Desktop.h"\n'})
        self.assertEqual(code, 1)
        self.assertIn("platform/Workspace.h:1:", errors)

    def test_include_across_a_side_of_one_layer_fails(self):
        code, errors = run_checker({"diagnostics/Report.h": '#include "live/Installer.h"\n'})
        self.assertEqual(code, 1)
        self.assertIn("diagnostics/Report.h:1:", errors)
        self.assertIn("same layer", errors)

    def test_files_and_includes_outside_every_layer_fail(self):
        code, errors = run_checker({"misc/Thing.cpp": "\n", "core/A.cpp": '#include "elsewhere/B.h"\n'})
        self.assertEqual(code, 1)
        self.assertIn("misc/Thing.cpp: not in any layer", errors)
        self.assertIn("core/A.cpp:1:", errors)


if __name__ == "__main__":
    unittest.main()
