#include "mapserver/faults.h"

#include <charconv>
#include <stdexcept>

#include "mapserver/shared_link.h"

namespace atlasync::mapserver {

namespace {

template <typename T>
T parse_number(std::string_view text, std::string_view action) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        throw std::invalid_argument("fault action " + std::string(action) +
                                    " needs a number, found \"" + std::string(text) + "\"");
    }
    return value;
}

void apply_action(Fault& fault, std::string_view action) {
    if (action == "hold") {
        fault.hold = true;
        return;
    }
    if (action == "endless" || action == "no-range") {
        (action == "endless" ? fault.endless : fault.ignoreRanges) = true;
        return;
    }
    const auto colon = action.find(':');
    if (colon == std::string_view::npos) {
        throw std::invalid_argument("fault action \"" + std::string(action) +
                                    "\" needs a value after ':'");
    }
    const std::string_view name = action.substr(0, colon);
    const std::string_view value = action.substr(colon + 1);
    if (name == "delay") {
        fault.delay = std::chrono::milliseconds(parse_number<std::uint32_t>(value, name));
    } else if (name == "stall-after") {
        fault.stallAfter = parse_number<std::uint64_t>(value, name);
    } else if (name == "close-after") {
        fault.closeAfter = parse_number<std::uint64_t>(value, name);
    } else if (name == "content-type") {
        if (value.empty()) {
            throw std::invalid_argument("fault action content-type needs a type");
        }
        fault.contentType = std::string(value);
    } else if (name == "status") {
        const int status = parse_number<int>(value, name);
        if (status < 100 || status > 599) {
            throw std::invalid_argument("fault status must be 100 to 599");
        }
        fault.status = status;
    } else if (name == "damage-at") {
        fault.damageAt = parse_number<std::uint64_t>(value, name);
    } else if (name == "rate") {
        fault.rate = parse_number<std::uint64_t>(value, name);
        if (*fault.rate == 0) {
            throw std::invalid_argument("fault action rate needs at least 1 byte a second");
        }
    } else if (name == "link") {
        fault.link = parse_number<std::uint64_t>(value, name);
        if (*fault.link == 0) {
            throw std::invalid_argument("fault action link needs at least 1 byte a second");
        }
    } else if (name == "times") {
        fault.times = parse_number<unsigned>(value, name);
        if (*fault.times == 0) {
            throw std::invalid_argument("fault action times needs at least 1");
        }
    } else {
        throw std::invalid_argument("unknown fault action \"" + std::string(name) + "\"");
    }
}

}  // namespace

std::string Fault::describe() const {
    std::string text;
    const auto add = [&](const std::string& action) { text += (text.empty() ? "" : ",") + action; };
    if (hold) {
        add("hold");
    }
    if (delay.count() > 0) {
        add("delay:" + std::to_string(delay.count()));
    }
    if (stallAfter) {
        add("stall-after:" + std::to_string(*stallAfter));
    }
    if (closeAfter) {
        add("close-after:" + std::to_string(*closeAfter));
    }
    if (contentType) {
        add("content-type:" + *contentType);
    }
    if (status) {
        add("status:" + std::to_string(*status));
    }
    if (damageAt) {
        add("damage-at:" + std::to_string(*damageAt));
    }
    if (endless) {
        add("endless");
    }
    if (ignoreRanges) {
        add("no-range");
    }
    if (rate) {
        add("rate:" + std::to_string(*rate));
    }
    if (link) {
        add("link:" + std::to_string(*link));
    }
    return text;
}

Fault parse_fault(std::string_view rule) {
    const auto equals = rule.find('=');
    if (equals == std::string_view::npos || equals == 0 || equals + 1 == rule.size()) {
        throw std::invalid_argument("a fault is PATTERN=ACTION[,ACTION...], found \"" +
                                    std::string(rule) + "\"");
    }
    Fault fault;
    fault.pattern = std::string(rule.substr(0, equals));
    std::string_view actions = rule.substr(equals + 1);
    while (!actions.empty()) {
        const auto comma = actions.find(',');
        apply_action(fault, actions.substr(0, comma));
        actions = comma == std::string_view::npos ? std::string_view() : actions.substr(comma + 1);
    }
    if (fault.rate && fault.link) {
        throw std::invalid_argument(
            "fault actions rate and link do not go together: rate paces each answer on its own, "
            "link shares one rate among all answers of the rule");
    }
    if (fault.link) {
        fault.sharedLink = std::make_shared<SharedLink>(*fault.link);
    }
    return fault;
}

bool glob_matches(std::string_view pattern, std::string_view text) {
    // Iterative matching with one backtrack point: linear in practice, never recursive.
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t star = std::string_view::npos;
    std::size_t resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

void FaultPlan::add(Fault fault) {
    if (fault.link && !fault.sharedLink) {
        fault.sharedLink = std::make_shared<SharedLink>(*fault.link);
    }
    std::lock_guard lock(m_mutex);
    m_faults.push_back(std::move(fault));
}

void FaultPlan::clear() {
    std::lock_guard lock(m_mutex);
    m_faults.clear();
}

std::optional<Fault> FaultPlan::take(std::string_view path, std::string_view query) {
    const std::string target =
        query.empty() ? std::string() : std::string(path) + "?" + std::string(query);
    std::lock_guard lock(m_mutex);
    for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
        if (!glob_matches(it->pattern, path) &&
            (target.empty() || !glob_matches(it->pattern, target))) {
            continue;
        }
        Fault fault = *it;
        if (it->times && --*it->times == 0) {
            m_faults.erase(it);
        }
        return fault;
    }
    return std::nullopt;
}

std::size_t FaultPlan::held() const {
    std::lock_guard lock(m_mutex);
    return m_held;
}

std::size_t FaultPlan::holds_begun() const {
    std::lock_guard lock(m_mutex);
    return m_holdsBegun;
}

void FaultPlan::release_held() {
    {
        std::lock_guard lock(m_mutex);
        ++m_releases;
    }
    m_released.notify_all();
}

bool FaultPlan::hold(const std::atomic<bool>& stopping, const std::function<void()>& begun) {
    std::unique_lock lock(m_mutex);
    const std::uint64_t releases = m_releases;
    ++m_held;
    ++m_holdsBegun;
    begun();
    // A stopping server does not notify: it is looked at now and then.
    while (m_releases == releases && !stopping) {
        m_released.wait_for(lock, std::chrono::milliseconds(20));
    }
    --m_held;
    return !stopping;
}

}  // namespace atlasync::mapserver
