#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

QtTranslations::~QtTranslations() {
    if (m_installed)
        QCoreApplication::removeTranslator(&m_translator);
}

bool QtTranslations::use(int language) {
    if (m_installed)
        QCoreApplication::removeTranslator(&m_translator);
    m_installed = false;
    if (language != 0 && language != 1)
        return true;
    const QString name = language == 0 ? QStringLiteral("qtbase_zh_CN")
                                       : QStringLiteral("qtbase_zh_TW");
    if (!m_translator.load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    m_installed = QCoreApplication::installTranslator(&m_translator);
    return m_installed;
}
