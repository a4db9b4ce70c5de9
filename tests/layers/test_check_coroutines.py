"""The coroutine check finds task-returning functions and lambdas whose parameters are references,
pointers or views, and accepts parameters taken by value or excused with the reason they outlive."""
import pathlib
import subprocess
import sys
import tempfile
import unittest

CHECKER = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "check-coroutines"


def run_checker(text):
    """Writes `text` as app/core/X.cpp in a fresh tree, runs the checker; (exit code, findings)."""
    with tempfile.TemporaryDirectory() as folder:
        path = pathlib.Path(folder) / "app" / "core" / "X.cpp"
        path.parent.mkdir(parents=True)
        path.write_text(text, encoding="utf-8")
        result = subprocess.run([sys.executable, str(CHECKER), str(path.parents[1])], capture_output=True,
                                text=True, check=False)
        return result.returncode, [line for line in result.stdout.splitlines() if "coroutine parameter" in line]


class CheckCoroutinesTest(unittest.TestCase):
    def test_parameters_by_value_pass(self):
        code, findings = run_checker(
            "QCoro::Task<int> run(QPointer<PylonController> controller, QString path, int count = 3);\n"
            "QCoro::Task<Outcome> Queue::run(std::function<QCoro::Task<>(Job&)> job) {}\n"
            "QCoro::Task<> X::poll() {}\n"
            "auto task = [](std::shared_ptr<int> code) -> QCoro::Task<> { co_return; };\n"
            "std::function<QCoro::Task<int>(PylonController&)> job;\n"
            "QCoro::Task<std::optional<QString>> choose(QString name) override;\n")
        self.assertEqual((code, findings), (0, []))

    def test_references_pointers_and_views_are_found_with_their_line(self):
        code, findings = run_checker(
            "QCoro::Task<int> a(PylonController& controller,\n"
            "                   const QString& path);\n"
            "QCoro::Task<> b(QNetworkReply* reply);\n"
            "QCoro::Task<> c(QStringView name);\n"
            "auto d = [](int& code, std::function<void()> f) -> QCoro::Task<> { co_return; };\n"
            "auto e = [](Item&& item) mutable -> QCoro::Task<int> { co_return 1; };\n")
        self.assertEqual(code, 1)
        self.assertEqual([(f.split(":")[1], f.split("'")[1]) for f in findings],
                         [("1", "PylonController& controller"), ("1", "const QString& path"),
                          ("3", "QNetworkReply* reply"), ("4", "QStringView name"), ("5", "int& code"),
                          ("6", "Item&& item")])

    def test_a_reference_that_outlives_is_excused_by_its_comment(self):
        code, findings = run_checker(
            "// The registry outlives every task: it is made before the event loop and dropped after it.\n"
            "QCoro::Task<> watch(Registry& registry);\n"
            "QCoro::Task<> other(Registry& registry);\n")
        self.assertEqual(code, 1)
        self.assertEqual(len(findings), 1)
        self.assertIn(":3:", findings[0])


if __name__ == "__main__":
    unittest.main()
