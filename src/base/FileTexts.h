#pragma once
// Texts of the file refusals that the message catalog has no entry for (damaged or unusable
// files), in the catalog's two languages; the active catalog language chooses.

#include <string>

namespace fim {

enum class FileText {
    NotLoaded,        // caption: the file was not loaded
    NotATimeFile,     // text: the file is no time file (size or record count)
    BadTimeFileRate,  // text: the rate record is no usable sample rate
    BadWaveRate,      // text: the wave's sample rate is out of range
    NoSamples,        // text: the file holds no samples
    CannotRead,       // text: the file could not be opened or read
    NoResponse,       // text: nothing to export (peak 0)
    NotExported,      // caption: the export was refused
    WrongVersion,     // text: the file's layout version is not 2.0
    DamagedFile,      // text: the file is too short or damaged
    CannotWrite,      // text prefix: the file could not be written
    MicCalNoData,     // text: a mic calibration text holds no usable lines
};

const std::string& FileMessage(FileText id);

}  // namespace fim
