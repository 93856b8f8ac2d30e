#include "prefs/core/pest_prefs.h"

#include "framework/core/text.h"

namespace prefs {
namespace {

const QString kTab = QStringLiteral("\t");

std::int32_t wholeNumber(const QString& field)
{
    return fw::CInt32(fw::CDbl(field));
}

bool flag(const QString& field)
{
    return fw::StrEq(field, QStringLiteral("1"));
}

QString flagText(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

QString fileName()
{
    return QStringLiteral("PREFS");
}

PestPrefs PestPrefs::defaults()
{
    PestPrefs r;
    r.initialOutput = QStringLiteral("50");
    r.stepSize = QStringLiteral("7");
    r.diffThreshold = QStringLiteral(".45");
    r.voiceVolume = 0;
    r.signalVolume = 100;
    r.clickVolume = 100;
    r.successKey = 121;  // y
    r.failKey = 110;     // n
    r.lowBound = QStringLiteral("20");
    r.upBound = QStringLiteral("80");
    r.spread = QStringLiteral("7");
    r.mlDiffThreshold = QStringLiteral(".45");
    return r;
}

QString fieldText(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        if (c == u'\t' || c == u'\r' || c == u'\n')
            c = u' ';
    return out;
}

QStringList encodePieces(const PestPrefs& r)
{
    const QStringList fields = {
        QStringLiteral("PESTPREFS"),
        fieldText(r.initialOutput),
        fieldText(r.stepSize),
        fieldText(r.diffThreshold),
        fw::Str(r.voiceVolume),
        fw::Str(r.signalVolume),
        fw::Str(r.clickVolume),
        fw::Str(r.successKey),
        fw::Str(r.failKey),
        flagText(r.successAll),
        flagText(r.failAll),
        fieldText(r.lowBound),
        fieldText(r.upBound),
        fieldText(r.spread),
        fieldText(r.mlDiffThreshold),
        flagText(r.useMaxLikelihood),
    };
    QStringList pieces;
    pieces.reserve(kFieldCount);
    for (const QString& f : fields)
        pieces << f + kTab;
    pieces << QStringLiteral("ENDOFFILE");
    return pieces;
}

QString encode(const PestPrefs& record)
{
    return encodePieces(record).join(QString());
}

bool hasHeader(const QString& fileText)
{
    return fw::StrEq(fw::NthField(fileText, kTab, 1), QStringLiteral("PESTPREFS"));
}

std::optional<PestPrefs> decode(const QString& fileText)
{
    if (!hasHeader(fileText))
        return std::nullopt;
    auto field = [&fileText](int n) { return fw::NthField(fileText, kTab, n); };
    PestPrefs r;
    r.initialOutput = field(2);
    r.stepSize = field(3);
    r.diffThreshold = field(4);
    r.voiceVolume = wholeNumber(field(5));
    r.signalVolume = wholeNumber(field(6));
    r.clickVolume = wholeNumber(field(7));
    r.successKey = wholeNumber(field(8));
    r.failKey = wholeNumber(field(9));
    r.successAll = flag(field(10));
    r.failAll = flag(field(11));
    r.lowBound = field(12);
    r.upBound = field(13);
    r.spread = field(14);
    r.mlDiffThreshold = field(15);
    r.useMaxLikelihood = flag(field(16));
    return r;
}

} // namespace prefs
