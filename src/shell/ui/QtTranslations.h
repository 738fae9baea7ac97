#pragma once
// Qt's own texts (the standard buttons Yes/No/OK/Cancel, the file, colour and print dialogs)
// in the language of the message catalog, from Qt's "qtbase" translations.

namespace fim {

// Installs the German qtbase translation when `german`, or removes one installed before. True
// when German texts are in place afterwards; false for English, or when the translation files
// are not installed (Qt's texts then stay English). Call after the QApplication exists and
// before the windows are built: buttons take their text when they are created.
bool InstallQtTranslations(bool german);

}  // namespace fim
