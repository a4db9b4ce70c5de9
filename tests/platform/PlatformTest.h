#pragma once

#include <QObject>

// The platform layer: property lists and bundles (tst_platform.cpp), user defaults and system
// facts (tst_platform_system.cpp).
class PlatformTest : public QObject {
    Q_OBJECT

private slots:
    // Property lists
    void parseKeepsEachValueType_data();
    void parseKeepsEachValueType();
    void parseRefusesMalformedDocuments_data();
    void parseRefusesMalformedDocuments();
    void serializedValuesParseBackWithTheirTypes();

    // Bundles
    void bundlePathIsFoundFromTheExecutable_data();
    void bundlePathIsFoundFromTheExecutable();
    void bundleReadsIdentifierAndTypedInfo();
    void unreadableInfoPlistMeansNoIdentifierAndNoInfo_data();
    void unreadableInfoPlistMeansNoIdentifierAndNoInfo();
    void identifierMustBeANonEmptyString_data();
    void identifierMustBeANonEmptyString();
    void resourcesAreFoundByNameAndExtension();

    // User defaults
    void valuesReadBackInTheSameAndAReopenedInstance();
    void readingAValueAsTheWrongKindGivesNothing();
    void removedKeyIsGone();
    void removingTheDomainRemovesItsFileAndEveryKey();
    void synchronizeReportsAnUnwritableFile();

    // System facts
    void xdgHomesHonourOnlyAbsoluteValues_data();
    void xdgHomesHonourOnlyAbsoluteValues();
    void homeDirectoryIsHome();
    void kernelFactsMatchUname();
    void currentExecutableIsThisProgram();
};
