#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace atlasync::mapserver {

class SharedLink;

// A misbehaviour the server shows on requests whose path matches a pattern,
// so that tests can see how clients cope with slow, broken or wrong answers.
struct Fault {
    // Glob on the path, or on the path, "?" and the query: "*" and "?" match
    // any text, so "/pg?*746F75636866770*" is the catalog "touchfw".
    std::string pattern;
    bool hold = false;                        // answer nothing until released or stopped
    std::chrono::milliseconds delay{0};       // wait before answering
    std::optional<std::uint64_t> stallAfter;  // send this many body bytes, then nothing more
    std::optional<std::uint64_t> closeAfter;  // send this many body bytes, then close
    std::optional<std::string> contentType;   // announce this type instead of the right one
    std::optional<int> status;                // answer this status with an HTML page
    std::optional<std::uint64_t> damageAt;    // flip the bits of the body byte at this offset
    bool endless = false;                     // stream the body over and over, without end
    bool ignoreRanges = false;                // answer a range request with the whole body
    std::optional<std::uint64_t> rate;        // send the body at about this many bytes a second
    // Send the body through a link of this many bytes a second that every
    // answer of the rule shares (not with rate).
    std::optional<std::uint64_t> link;
    // That link: made with the rule, so that every copy of it shares it.
    std::shared_ptr<SharedLink> sharedLink;
    std::optional<unsigned> times;  // only the first N matching requests; always when unset

    // "delay:200,close-after:1000": the actions in the written form.
    std::string describe() const;
};

// Reads "PATTERN=ACTION[,ACTION...]" with the actions hold, delay:MS, stall-after:BYTES,
// close-after:BYTES, content-type:TYPE, status:CODE, damage-at:BYTE, endless,
// no-range, rate:BYTES_PER_SECOND, link:BYTES_PER_SECOND, times:N. Throws std::invalid_argument
// naming what is wrong.
Fault parse_fault(std::string_view rule);

bool glob_matches(std::string_view pattern, std::string_view text);

// The faults in force; shared by the server's threads.
class FaultPlan {
public:
    // A fault built in code with a link but none to share gets one here.
    void add(Fault fault);
    void clear();
    // The first fault whose pattern matches the path (or the path with its
    // query), counting it as used.
    std::optional<Fault> take(std::string_view path, std::string_view query = {});

    // Answers that a hold keeps back now, and holds begun since the start. A
    // test waits for these (or for the "held" line of the log) instead of for
    // a span of time.
    std::size_t held() const;
    std::size_t holds_begun() const;
    // Lets every answer held now go on, as the rest of its fault says. An
    // answer that is not held yet is not released: wait for it first.
    void release_held();
    // The server's side: counts the answer as held, tells `begun` (under the
    // plan's lock, so that whoever sees the "held" line also sees the count),
    // then waits until released; false when `stopping` turned true first.
    bool hold(const std::atomic<bool>& stopping, const std::function<void()>& begun);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    std::vector<Fault> m_faults;
    std::size_t m_held = 0;
    std::size_t m_holdsBegun = 0;
    std::uint64_t m_releases = 0;  // counts release_held() calls
};

}  // namespace atlasync::mapserver
