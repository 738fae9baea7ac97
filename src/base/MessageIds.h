#pragma once
// Catalog messages that the program's logic shows, by name, so that a reader of the logic need
// not open the catalog. The numbers are the catalog's indices (see CatalogTexts.cpp).

namespace fim {

constexpr int kMsgInputClipping = 8;        // "INPUT CLIPPING, REDUCE LEVEL\rPEAK LEVEL: "
constexpr int kMsgInputTooLow = 9;          // "INPUT TO LOW, INCREASE LEVEL\rPEAK LEVEL: "
constexpr int kMsgMlsSizeVoidsData = 12;    // "Changing MLS size voids data. Continue anyway?"
constexpr int kMsgChangingMlsSize = 13;     // "Changing MLS Size"
constexpr int kMsgMemoryError = 25;         // "Sorry to report a serious memory error. …"
constexpr int kMsgCalWrongLength = 34;      // "Cal data has wrong length or rate"
constexpr int kMsgCalSizeMismatch = 35;     // "Cal data size does not fit"
constexpr int kMsgCalRecordedWith = 36;     // "Cal File recordet with: "
constexpr int kMsgMeasurementRate = 37;     // "\rMeasurement samplerate: "
constexpr int kMsgSampleRateProblem = 38;   // "Samplerate Problem:"
constexpr int kMsgFileSaveError = 39;       // "File Save Error"
constexpr int kMsgNoOverlay = 42;           // "NO OVERLAY LOADED"
constexpr int kMsgUseCalBefore = 45;        // "Use: " (before the calibration's name)
constexpr int kMsgUseCalAfter = 46;         // " as Cal" (after it)
constexpr int kMsgUseMacro = 48;            // "Use Macro: "
constexpr int kMsgMacro = 49;               // "Macro: "
constexpr int kMsgAveraging = 63;           // "AVERAGING"
constexpr int kMsgMlsOnly = 65;             // "MLS ONLY"
constexpr int kMsgDirect = 66;              // "DIRECT"
constexpr int kMsgIllegalInput = 78;        // "Illegal Input Data"
constexpr int kMsgSampling = 147;           // "Sampling in action"
constexpr int kMsgStop = 184;               // "STOP"
constexpr int kMsgAgain = 185;              // "AGAIN"
constexpr int kMsgDataQualityFailed = 299;  // "Data quality check failed."

}  // namespace fim
