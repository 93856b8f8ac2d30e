#include "estimation/core/keys.h"

#include "framework/core/text.h"

namespace estimation {

QString keyname(std::int32_t code)
{
    switch (code) {
    case 13: return QStringLiteral("ENTER");
    case 9: return QStringLiteral("TAB");
    case 32: return QStringLiteral("SPACE");
    case 8:
    case 127: return QStringLiteral("DELETE");
    case 29: return QStringLiteral("RIGHT");
    case 28: return QStringLiteral("LEFT");
    case 30: return QStringLiteral("UP");
    case 31: return QStringLiteral("DOWN");
    default: return fw::Chr(code);
    }
}

QString keyLegend(std::int32_t successkey, std::int32_t failkey, bool successall, bool failall)
{
    const QString success = successall ? QStringLiteral("ANY") : keyname(successkey);
    const QString failure = failall ? QStringLiteral("ANY") : keyname(failkey);
    return QStringLiteral("Success = ") + success + QStringLiteral("     Failure = ") + failure;
}

KeyResponse classifyKey(const QString& key, std::int32_t successkey, std::int32_t failkey, bool successall,
                        bool failall)
{
    const bool isSuccessKey = fw::StrEq(key, fw::Chr(successkey));
    const bool isFailKey = fw::StrEq(key, fw::Chr(failkey));
    if (successall && failall)
        return KeyResponse::Ignored;
    if (successall)
        return isFailKey ? KeyResponse::Failure : KeyResponse::Success;
    if (failall)
        return isSuccessKey ? KeyResponse::Success : KeyResponse::Failure;
    if (isFailKey)
        return KeyResponse::Failure;
    return isSuccessKey ? KeyResponse::Success : KeyResponse::Ignored;
}

} // namespace estimation
