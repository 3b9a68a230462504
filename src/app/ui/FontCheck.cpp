#include "FontCheck.h"

#include <QGlyphRun>
#include <QLoggingCategory>
#include <QRawFont>
#include <QStringList>
#include <QTextLayout>

Q_LOGGING_CATEGORY(lcFonts, "korvat.fonts", QtWarningMsg)

bool fontsDraw(const QString &text, const QFont &font) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    QStringList families;
    qsizetype missing = 0;
    for (const QGlyphRun &run : runs) {
        families << run.rawFont().familyName();
        for (const quint32 glyph : run.glyphIndexes())
            missing += glyph == 0; // index 0 is the font's missing-glyph box
    }
    families.removeDuplicates();
    if (missing > 0 || runs.isEmpty())
        qCInfo(lcFonts, "not drawn: %lld of the glyphs missing in %s", static_cast<long long>(missing),
               qPrintable(families.join(QStringLiteral(", "))));
    else
        qCInfo(lcFonts, "drawn with %s", qPrintable(families.join(QStringLiteral(", "))));
    return missing == 0 && !runs.isEmpty();
}
