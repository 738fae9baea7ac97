#pragma once
// The system's default input language, which chooses the catalog language at start-up.

class QLocale;

namespace fim {

// True for every German locale, whatever the country (Germany, Switzerland, Austria, ...).
bool IsGermanLocale(const QLocale& locale);

// True when the input method's locale is German. Needs a QGuiApplication.
bool DefaultInputLanguageIsGerman();

}  // namespace fim
