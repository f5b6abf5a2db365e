#pragma once

#include <cstdint>
#include <string>

namespace MapsService {

// A version a.b.c.d where 255 marks a part that is not set. The fifth number
// travels with copies and into config.cfg but takes no part in comparisons.
class VersionInfo {
public:
    static constexpr std::uint32_t kUnset = 255;

    VersionInfo() = default;
    VersionInfo(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                std::uint32_t fifth = 0)
        : m_a(a), m_b(b), m_c(c), m_d(d), m_fifth(fifth) {}
    virtual ~VersionInfo() = default;
    VersionInfo(const VersionInfo&) = default;
    VersionInfo& operator=(const VersionInfo&) = default;

    virtual bool is_valid() const { return m_a != kUnset; }
    // "a.b.c.d" leaving out unset b, c, d; empty when not valid.
    virtual std::wstring to_text() const;

    // Up to four dot-separated numbers (runs of dots are one separator); missing
    // parts stay unset. Throws ConversionFailedException on a part that is not a number.
    static VersionInfo parse(const std::wstring& text);

    std::uint32_t a() const { return m_a; }
    std::uint32_t b() const { return m_b; }
    std::uint32_t c() const { return m_c; }
    std::uint32_t d() const { return m_d; }
    std::uint32_t fifth() const { return m_fifth; }
    void set_fifth(std::uint32_t value) { m_fifth = value; }

    // Unset parts read as 0; the fifth number is ignored.
    bool operator==(const VersionInfo& other) const;
    bool operator<(const VersionInfo& other) const;

private:
    std::uint32_t m_a = kUnset;
    std::uint32_t m_b = kUnset;
    std::uint32_t m_c = kUnset;
    std::uint32_t m_d = kUnset;
    std::uint32_t m_fifth = 0;
};

// The maps application's version: a VersionInfo plus year, week and build.
class MapsappVersionInfo : public VersionInfo {
public:
    MapsappVersionInfo() = default;
    explicit MapsappVersionInfo(const VersionInfo& version) : VersionInfo(version) {}

    // The base text, then " wk " week, "/" year, " b" build for the parts set.
    std::wstring to_text() const override;

    // Fills year, week and build from a build text of three blank-separated
    // words ("0812 build:x b4"); any other text fills nothing.
    void read_build_text(const std::wstring& build);

    std::uint32_t year() const { return m_year; }
    std::uint32_t week() const { return m_week; }
    std::uint32_t build() const { return m_build; }
    void set_build_parts(std::uint32_t year, std::uint32_t week, std::uint32_t build) {
        m_year = year;
        m_week = week;
        m_build = build;
    }

    // Older: a smaller version, or an equal one with an earlier year, week, build.
    bool is_older_than(const MapsappVersionInfo& other) const;

private:
    std::uint32_t m_year = kUnset;
    std::uint32_t m_week = kUnset;
    std::uint32_t m_build = kUnset;
};

// The client version the quota file's client_id stands for (compared lower-case);
// unset for an unknown client_id.
VersionInfo client_version_for(const std::wstring& clientId);

// A maps application that predates the 1.3 clients and is not one of the
// three original client kinds.
bool is_legacy_client(const std::wstring& clientId, const VersionInfo& clientVersion);

// 1 when the client type names the touch-less platform ("qtl"), otherwise 3.
std::int32_t platform_code_for(const std::wstring& clientId);

}  // namespace MapsService
