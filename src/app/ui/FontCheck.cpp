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
        // Without any font file Qt draws boxes of its own: a "font" with no character map.
        const QRawFont raw = run.rawFont();
        const bool real = !raw.fontTable("cmap").isEmpty();
        if (real)
            families << raw.familyName();
        for (const quint32 glyph : run.glyphIndexes())
            missing += !real || glyph == 0; // glyph 0 is the font's missing-glyph box
    }
    families.removeDuplicates();
    const QByteArray names = families.join(QStringLiteral(", ")).toUtf8();
    if (missing > 0 || runs.isEmpty()) {
        qCInfo(lcFonts, "not drawn: %lld glyphs missing (fonts: %s)",
               static_cast<long long>(missing), names.constData());
        return false;
    }
    qCInfo(lcFonts, "drawn with %s", names.constData());
    return true;
}
