#include "status/StatusResponse.h"

#include <array>
#include <utility>

namespace pylon {

namespace {

template <typename Enum, std::size_t N>
using RawTable = std::array<std::pair<Enum, const char*>, N>;

constexpr RawTable<CompanionCondition, 2> companionRaw{{
    {CompanionCondition::running, "running"},
    {CompanionCondition::stopped, "stopped"},
}};
constexpr RawTable<BonjourCondition, 3> bonjourRaw{{
    {BonjourCondition::advertising, "advertising"},
    {BonjourCondition::error, "error"},
    {BonjourCondition::stopped, "stopped"},
}};
constexpr RawTable<AbletonCondition, 5> abletonRaw{{
    {AbletonCondition::notRunning, "not_running"},
    {AbletonCondition::running, "running"},
    {AbletonCondition::connected, "connected"},
    {AbletonCondition::busy, "busy"},
    {AbletonCondition::unresponsive, "unresponsive"},
}};

template <typename Enum, std::size_t N>
QString toRaw(const RawTable<Enum, N>& table, Enum value) {
    for (const auto& [candidate, raw] : table) {
        if (candidate == value)
            return QString::fromLatin1(raw);
    }
    return QString();
}

template <typename Enum, std::size_t N>
std::optional<Enum> fromRaw(const RawTable<Enum, N>& table, const QString& raw) {
    for (const auto& [candidate, text] : table) {
        if (raw == QLatin1String(text))
            return candidate;
    }
    return std::nullopt;
}

} // namespace

QString rawValue(CompanionCondition condition) { return toRaw(companionRaw, condition); }
QString rawValue(BonjourCondition condition) { return toRaw(bonjourRaw, condition); }
QString rawValue(AbletonCondition condition) { return toRaw(abletonRaw, condition); }

std::optional<CompanionCondition> companionConditionFromRaw(const QString& raw) { return fromRaw(companionRaw, raw); }
std::optional<BonjourCondition> bonjourConditionFromRaw(const QString& raw) { return fromRaw(bonjourRaw, raw); }
std::optional<AbletonCondition> abletonConditionFromRaw(const QString& raw) { return fromRaw(abletonRaw, raw); }

} // namespace pylon
