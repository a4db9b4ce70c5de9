// The built module as node sees it: the two entry points node looks up by name. Node-API
// functions stay unresolved (lazy binding) because nothing here calls them.

#include <QtTest>
#include <dlfcn.h>

class ModuleEntryPointsTest : public QObject {
    Q_OBJECT

    void* m_module = nullptr;

private slots:
    void initTestCase() {
        const QByteArray path = qgetenv("ACCELERATOR_MODULE");
        if (path.isEmpty())
            QSKIP("ACCELERATOR_MODULE names no built accelerator.node (ctest sets it)");
        m_module = dlopen(path.constData(), RTLD_LAZY | RTLD_LOCAL);
        QVERIFY2(m_module, dlerror());
    }

    void declaresNodeApiVersion8() {
        using VersionFunction = int (*)();
        const auto version = reinterpret_cast<VersionFunction>(dlsym(m_module, "node_api_module_get_api_version_v1"));
        QVERIFY(version);
        QCOMPARE(version(), 8);
    }

    void exportsTheRegistrationFunction() { QVERIFY(dlsym(m_module, "napi_register_module_v1")); }

    void cleanupTestCase() {
        if (m_module)
            dlclose(m_module);
    }
};

int runModuleEntryPointsTest(int argc, char** argv) {
    ModuleEntryPointsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ModuleEntryPointsTest.moc"
