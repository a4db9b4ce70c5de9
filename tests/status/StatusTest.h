#pragma once

#include <QObject>

// The status records: decoding (tst_status_decoding.cpp), encoding, raw values, the error record,
// the status cache and the dynamic status model (tst_status.cpp).
class StatusTest : public QObject {
    Q_OBJECT

private slots:
    // Decoding
    void decodesEveryFieldOfACompleteDocument();
    void decodesADocumentWithOnlyRequiredKeys();
    void missingOrNullRequiredKeyRejectsTheDocument_data();
    void missingOrNullRequiredKeyRejectsTheDocument();
    void missingOrNullOptionalKeyIsAbsent_data();
    void missingOrNullOptionalKeyIsAbsent();
    void wrongJsonTypeRejectsTheDocument_data();
    void wrongJsonTypeRejectsTheDocument();
    void integerFieldsTakeOnlyWholeNumbersInRange_data();
    void integerFieldsTakeOnlyWholeNumbersInRange();
    void latencyTakesAnyNumber_data();
    void latencyTakesAnyNumber();
    void booleanFieldsTakeOnlyTrueAndFalse_data();
    void booleanFieldsTakeOnlyTrueAndFalse();
    void conditionsFallBackForUnknownStrings_data();
    void conditionsFallBackForUnknownStrings();
    void unknownKeysAreIgnoredAtEveryLevel_data();
    void unknownKeysAreIgnoredAtEveryLevel();
    void keysAreMatchedCaseSensitively();
    void instancesAndAddressesKeepDocumentOrder();
    void oneBadInstanceRejectsTheDocument_data();
    void oneBadInstanceRejectsTheDocument();
    void everyTruncationOfADocumentIsRejected();
    void malformedDocumentsAreRejectedCleanly_data();
    void malformedDocumentsAreRejectedCleanly();

    // Encoding and raw values
    void encodingWritesEveryFieldUnderItsKey();
    void encodingLeavesAbsentOptionalsOut();
    void encodingWritesConditionsAsRawStrings_data();
    void encodingWritesConditionsAsRawStrings();
    void encodedStatusDecodesToAnEqualStatus_data();
    void encodedStatusDecodesToAnEqualStatus();
    void rawValueConversionIsStrict_data();
    void rawValueConversionIsStrict();

    // Error record
    void launchFailureIsTheE02Record();
    void errorRecordRoundTripsThroughJson();
    void errorRecordRejectsIncompleteOrIllTypedJson_data();
    void errorRecordRejectsIncompleteOrIllTypedJson();

    // Status cache
    void savedStatusLoadsBackEqual();
    void savingReplacesTheEarlierStatus();
    void unusableCacheIsNoStatus_data();
    void unusableCacheIsNoStatus();

    // Dynamic status
    void freshModelWithoutCacheIsStartingAndHasNoViews();
    void constructorLoadsTheCachedStatus();
    void companionStateFollowsTheRuleInOrder_data();
    void companionStateFollowsTheRuleInOrder();
    void derivedViewsFollowTheLastResponse();
    void everyAssignmentNotifiesAlsoForEqualValues_data();
    void everyAssignmentNotifiesAlsoForEqualValues();
};
