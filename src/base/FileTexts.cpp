#include "base/FileTexts.h"

#include "base/Catalog.h"

namespace fim {

const std::string& FileMessage(FileText id) {
    static const std::string english[] = {
        "File not loaded",
        "This is no MIV time file:\rits size does not fit the time-file layout",
        "This is no MIV time file:\rits sample rate is not a whole number from 1000 to 65535",
        "MIV needs a samplerate from 1000 to 65535",
        "The file contains no samples",
        "The file could not be read",
        "No impulse response to export:\rthe peak value is 0",
        "File not saved",
        "Unknown file version: MIV reads version 2.0 only",
        "The file is too short or damaged",
        "Could not write file: ",
        "No frequency and level lines found",
    };
    static const std::string german[] = {
        "File nicht geladen",
        "Das ist kein MIV Time File:\rdie Größe passt nicht zum Time File Format",
        "Das ist kein MIV Time File:\rdie Samplerate ist keine ganze Zahl von 1000 bis 65535",
        "MIV benötigt eine Samplerate von 1000 bis 65535",
        "Das File enthält keine Samples",
        "Das File konnte nicht gelesen werden",
        "Keine Impulsantwort zum Exportieren:\rder Spitzenwert ist 0",
        "File nicht gespeichert",
        "Unbekannte File Version: MIV liest nur Version 2.0",
        "Das File ist zu kurz oder beschädigt",
        "File konnte nicht geschrieben werden: ",
        "Keine Zeilen mit Frequenz und Pegel gefunden",
    };
    const auto i = static_cast<int>(id);
    return ActiveLanguage() == Language::German ? german[i] : english[i];
}

}  // namespace fim
