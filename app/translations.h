#pragma once

class QLocale;
class QTranslator;

// The translators put in place for one locale; either may be null when no
// catalog exists for it. Both are owned by the application object.
struct InstalledTranslators {
    QTranslator *program = nullptr;
    QTranslator *qt = nullptr;
};

// Installs the program's embedded catalog (":/i18n/malvore_<language>.qm") and
// Qt's own "qtbase" catalog from the Qt installation for the user interface
// languages of `locale`. Needs the application object; call it before the
// first window is built so the form is set up in the user's language.
InstalledTranslators installTranslators(const QLocale &locale);
