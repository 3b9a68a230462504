#pragma once
// The texts the program composes at run time (progress lines, results, questions,
// errors), each a triple: Simplified Chinese, Traditional Chinese, English.

#include <string>
#include <string_view>

namespace korvat {

enum TextName {
    txtUseTime,
    txtCatalogueDamaged,
    txtOverwriteQuestion,
    txtWriteError,
    txtProgrammerDetected,
    txtConnected,
    txtNotConnected,
    txtEraseRunning,
    txtReadRunning,
    txtBlankRunning,
    txtNotBlank,
    txtVerifyRunning,
    txtVerifyMismatch,
    txtWriteRunning,
    txtFileTooLong,
    txtOpenLog,
    txtReadDone,
    txtEraseDone,
    txtWriteDone,
    txtVerifyDone,
    txtAutoDone,
    txtBlankDone,
    txtStop,
    txtBulk,
    txtUnknownId,
    txtChooseCompatible,
    txtNoChip,
    txtChipDetected,
    txtChipTypeLine,
    txtTypeDetected,
    txtSelectManually,
    txtTransferFailed,
    txtEraseTimeout,
    txtProgrammerBusy,
    txtRangeBackwards,
    txtRangeOutsideBuffer,
    txtSetupFailed,
    txtReadOutOfMemory,
    txtOpenOutOfMemory,
    txtDroppedSeveral,
    txtChecksumTip,
    txtIdentityFailed,
    txtAlsoMatches,
    txtPassLine,
    txtFailLine,
    txtStepErase,
    txtStepWrite,
    txtStepVerify,
    txtStepTransfer,
    txtStepNotConnected,
    txtStepNothingLoaded,
    txtStepInterrupted,
    txtBatchRecordFile,
    txtBatchRecordFailed,
    txtFirmwareEmpty,
    txtFirmwareTooLong,
    txtNoBootLoader,
    txtReportNotWritten,
    txtNoReportReply,
    txtPageSizeZero,
    txtUpgradeFailed,
    txtUpgradeDone,
    txtInfoFailed,
    txtWrongChip,
    txtAnswerId,
    txtNoChipWithId,
    txtAnswerType,
    txtSelectedWithId,
    txtSelectedWithoutId,
    txtGoOnAnyway,
    txtNoChipSelected,
    txtCapacityUnusable,
    txtRangeOutsideChip,
    txtChipLastAddress,
    txtStepWrongChip,
    txtStepNoChip,
    // Files
    txtNotRegularFile,
    // Batch mode: passes without a verify
    txtUnverifiedLine,
    txtBatchNoSteps,
    // Firmware upgrade
    txtFirmwareTooShort,
    txtFirmwareTooManyPages,
    txtBootLoaderTooManyPages,
    txtAskUpgrade,
    txtVersionUnknown,
    txtProgrammerNotBack,
    // Erase
    txtNothingErased,
    txtEraseUpperPartUnreached,
    txtEraseUnknownFamily,
    kTextNameCount
};

// Language index: 0 Simplified Chinese, 1 Traditional Chinese, 2 English.
constexpr int kLanguageCount = 3;

// The member of the named triple for the language; an index outside 0 to 2 (possible
// from an edited settings file) reads as 0. Texts are UTF-8.
std::string_view text(TextName name, int language);

// Replaces the first mark ("%1") in the text.
void replaceMark(std::string &text, std::string_view mark, std::string_view with);

} // namespace korvat
