#pragma once

#include <QObject>

// Log processing: line splitting and the tail reader (tst_logprocessing.cpp); timestamps, module
// tags, scrubbing and the summary (tst_logscrubbing.cpp). The report: snapshot and texts
// (tst_diagnosticreport.cpp); archive, saving and failures (tst_reportfiles.cpp).
class DiagnosticsReportTest : public QObject {
    Q_OBJECT

private slots:
    void splitsAtEveryLineSeparator_data();
    void splitsAtEveryLineSeparator();
    void tailReaderEqualsWholeFileRule_data();
    void tailReaderEqualsWholeFileRule();
    void bytesBeforeTheKeptLinesAreNeverDecoded();
    void unusableLogGivesNothing_data();
    void unusableLogGivesNothing();
    void longLogContributesItsLastLines();

    void processLinesSimplifiesTimestampsAndMapsModules_data();
    void processLinesSimplifiesTimestampsAndMapsModules();
    void redactScrubsPersonalData_data();
    void redactScrubsPersonalData();
    void rootOrEmptyHomeSkipsOnlyTheLiteralStep_data();
    void rootOrEmptyHomeSkipsOnlyTheLiteralStep();
    void summaryBoxIsExact();
    void summaryCountsAndRanges_data();
    void summaryCountsAndRanges();
    void processedFileIsSummaryThenLines();

    void snapshotWithoutStatusLeavesOptionalsOut();
    void snapshotWithStatusFillsEveryField();
    void stateLabels_data();
    void stateLabels();
    void libraryPathsShowHomeAsTilde_data();
    void libraryPathsShowHomeAsTilde();
    void systemStateTextLineByLine_data();
    void systemStateTextLineByLine();
    void infoJsonIsPrettySortedAndEscaped();
    void versionTriples_data();
    void versionTriples();
    void timestampAndArchiveNameAreUtc_data();
    void timestampAndArchiveNameAreUtc();

    void reportArchiveHoldsTheWorkingFolder_data();
    void reportArchiveHoldsTheWorkingFolder();
    void cancelledSaveCleansUpAndLogsNothingMore();
    void reportFailures_data();
    void reportFailures();
    void atomicReplace_data();
    void atomicReplace();
    void pathSaveLocation();
    void zipOfAMissingFolderFails(); // and the layout of a nested folder
};
