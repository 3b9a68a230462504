#pragma once
// Qt's own texts (the Yes/No/OK/Cancel buttons, the file dialogs, the edits' context
// menus) in the interface's language: Qt's translations, as the system installs them,
// loaded for Chinese and taken out again for English.

#include <QTranslator>

class QtTranslations {
public:
    ~QtTranslations();
    // 0 Simplified Chinese, 1 Traditional Chinese, 2 English. False when the language
    // needs a translation the system does not have (Qt's texts stay in English).
    bool use(int language);

private:
    QTranslator m_translator;
    bool m_installed = false;
};
