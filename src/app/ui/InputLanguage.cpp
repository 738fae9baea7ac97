#include "app/ui/InputLanguage.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QLocale>

namespace fim {

bool IsGermanLocale(const QLocale& locale) {
    // Same rule as the primary language of a Windows language id: only the language counts.
    return locale.language() == QLocale::German;
}

bool DefaultInputLanguageIsGerman() {
    const QInputMethod* im = QGuiApplication::inputMethod();
    return IsGermanLocale(im != nullptr ? im->locale() : QLocale());
}

}  // namespace fim
