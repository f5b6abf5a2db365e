#include "mapserver/map_server.h"

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <thread>

#include "mapserver/answers.h"
#include "mapserver/body.h"
#include "mapserver/content.h"
#include "mapserver/content_types.h"
#include "mapserver/pace.h"
#include "mapserver/queries.h"
#include "mapserver/shared_link.h"

namespace atlasync::mapserver {

namespace {

constexpr std::size_t kWorkers = 64;  // stalled answers hold a worker each
constexpr int kListenQueue = 128;     // connections waiting to be accepted
constexpr std::size_t kChunk = 1 << 20;
constexpr std::size_t kKeepAliveRequests = 1000;  // on one connection, as common web servers allow
constexpr auto kPollInterval = std::chrono::milliseconds(20);
// A stalled answer cannot tell that its client has gone, so it gives its worker back at last.
constexpr auto kLongestStall = std::chrono::minutes(10);
constexpr std::uint16_t kCategoryTreeType = 7;
constexpr std::uint16_t kCachedatHeaderType = 0;
constexpr std::uint16_t kVersionType = 4;
constexpr const char* kTlvType = "application/x-tlv";
constexpr const char* kHeaderType = "application/x-hdr";

// What a route answers before faults and ranges are applied.
struct Answer {
    int status = 200;
    std::string contentType;
    std::shared_ptr<Body> body;
};

Answer text_answer(int status, std::string text) {
    return {status, "text/plain", memory_body(std::move(text) + "\n")};
}

std::string status_text(int status) {
    static const std::pair<int, const char*> kTexts[] = {{400, "Bad Request"},
                                                         {401, "Unauthorized"},
                                                         {403, "Forbidden"},
                                                         {404, "Not Found"},
                                                         {408, "Request Timeout"},
                                                         {429, "Too Many Requests"},
                                                         {500, "Internal Server Error"},
                                                         {502, "Bad Gateway"},
                                                         {503, "Service Unavailable"},
                                                         {504, "Gateway Timeout"}};
    for (const auto& [code, text] : kTexts) {
        if (code == status) {
            return text;
        }
    }
    return "Error";
}

Answer html_error(int status) {
    const std::string title = std::to_string(status) + " " + status_text(status);
    return {status, "text/html",
            memory_body("<html><head><title>" + title + "</title></head><body><h1>" + title +
                        "</h1></body></html>\n")};
}

std::string_view query_of(const httplib::Request& request) {
    const std::string_view target = request.target;
    const auto mark = target.find('?');
    return mark == std::string_view::npos ? std::string_view() : target.substr(mark + 1);
}

bool is_host_character(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':' ||
           c == '[' || c == ']' || c == '_';
}

std::unique_ptr<httplib::Server> make_server(const ServerOptions& options) {
    if (options.certificate.empty() != options.key.empty()) {
        throw std::invalid_argument("a certificate needs its key, and a key its certificate");
    }
    if (options.certificate.empty()) {
        return std::make_unique<httplib::Server>();
    }
    auto server =
        std::make_unique<httplib::SSLServer>(options.certificate.c_str(), options.key.c_str());
    if (!server->is_valid()) {
        throw std::runtime_error("cannot serve TLS with certificate " +
                                 options.certificate.string() + " and key " + options.key.string());
    }
    return server;
}

// This request's log record; answers are produced and sent on one worker thread.
thread_local RequestRecord t_record;
thread_local bool t_handled = false;

}  // namespace

class MapServer::Impl {
public:
    explicit Impl(ServerOptions options)
        : m_options(std::move(options)),
          m_content(Content::load(m_options.content)),
          m_server(make_server(m_options)),
          m_http(*m_server) {
        if (!m_options.log) {
            m_options.log = stderr_log();
        }
        m_http.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
        // Clients keep a few connections alive across a whole update's downloads;
        // closing one every few requests would cost them a new connection each time.
        m_http.set_keep_alive_max_count(kKeepAliveRequests);
        m_http.set_keep_alive_timeout(2);
        // The default options allow another process to bind the same port and
        // take half of the connections; a port in use must be an error instead.
        m_http.set_socket_options([this](int socket) {
            m_listenSocket = socket;
            const int yes = 1;
            setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
            // Connections inherit it: a small answer on a kept-alive connection
            // would otherwise wait for the client's delayed acknowledgement.
            setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        });
        m_http.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
            handle(request, response);
        });
        m_http.set_logger(
            [this](const httplib::Request& request, const httplib::Response& response) {
                // Answers of ours are logged when their body is done; this catches
                // the requests the HTTP layer refused before they reached us.
                if (!t_handled) {
                    RequestRecord record;
                    record.client = request.remote_addr + ":" + std::to_string(request.remote_port);
                    record.method = request.method;
                    record.target = request.target;
                    record.status = response.status;
                    m_options.log(format_log_line(record));
                }
            });
    }

    ~Impl() { stop(); }

    int start() {
        if (m_options.port == 0) {
            m_port = m_http.bind_to_any_port(m_options.bind);
        } else if (m_http.bind_to_port(m_options.bind, m_options.port)) {
            m_port = m_options.port;
        }
        if (m_port <= 0) {
            throw std::runtime_error("cannot listen on " + m_options.bind + " port " +
                                     std::to_string(m_options.port));
        }
        // The HTTP library is built to listen with a queue of 5: connections
        // a client opens at once beyond it are dropped, and their second try
        // comes a second later. Listening again on the bound socket widens it.
        if (m_listenSocket >= 0) {
            ::listen(m_listenSocket, kListenQueue);
        }
        m_thread = std::thread([this] {
            m_http.listen_after_bind();
            m_listenEnded = true;
        });
        // A stop before the listening loop runs would go unnoticed by it, and
        // the join would wait for ever.
        while (!m_http.is_running() && !m_listenEnded) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return m_port;
    }

    void stop() {
        m_stopping = true;
        m_http.stop();
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    int port() const { return m_port; }

    std::string root() const {
        const bool v6 = m_options.bind.find(':') != std::string::npos;
        return scheme() + (v6 ? "[" + m_options.bind + "]" : m_options.bind) + ":" +
               std::to_string(m_port);
    }

    FaultPlan& faults() { return m_faults; }

private:
    // Catalogs name files by the scheme the client came by.
    std::string scheme() const { return m_options.certificate.empty() ? "http://" : "https://"; }

    void handle(const httplib::Request& request, httplib::Response& response) {
        t_handled = true;
        t_record = RequestRecord();
        t_record.client = request.remote_addr + ":" + std::to_string(request.remote_port);
        t_record.method = request.method;
        t_record.target = request.target;
        const std::optional<Fault> fault = m_faults.take(request.path, query_of(request));
        Answer answer;
        if (fault) {
            t_record.fault = fault->describe();
            const bool released = !fault->hold || m_faults.hold(m_stopping, [this] {
                m_options.log(format_held_line(t_record));
            });
            if (!released || !pause(fault->delay)) {
                answer = html_error(503);
            } else if (fault->status) {
                answer = html_error(*fault->status);
            }
        }
        if (!answer.body) {
            answer = route(request);
            if (fault && fault->contentType) {
                answer.contentType = *fault->contentType;
            }
        }
        send(request, response, std::move(answer), fault);
    }

    Answer route(const httplib::Request& request) {
        const std::string& path = request.path;
        if (path == "/pg") {
            return package_answer(request);
        }
        if (path == "/vt") {
            return version_answer(request);
        }
        if (path == "/ct" || path == "/qb") {
            const bool tree = path == "/ct";
            QueryError error;
            if (!parse_service_query(query_of(request),
                                     tree ? kCategoryTreeType : kCachedatHeaderType, error)) {
                return text_answer(400, error.message);
            }
            const auto& bytes = tree ? m_content.category_tree() : m_content.cachedat_header();
            if (!bytes) {
                return text_answer(404, "no " + std::string(tree ? "category tree" : "header"));
            }
            return {200, tree ? kTlvType : kHeaderType, memory_body(*bytes)};
        }
        return file_answer(path);
    }

    Answer package_answer(const httplib::Request& request) {
        QueryError error;
        const auto query = parse_package_query(query_of(request), error);
        if (!query) {
            return text_answer(400, error.message);
        }
        if (!m_content.has_package(query->name)) {
            return text_answer(404, "unknown package " + query->name);
        }
        const CatalogVariant* variant = m_content.find_variant(
            query->name, query->language, query->version, query->operatingSystem);
        if (!variant) {
            // A known package without a fitting variant is an empty catalog, not an error.
            const auto& any =
                *std::find_if(m_content.variants().begin(), m_content.variants().end(),
                              [&](const CatalogVariant& v) { return v.name == query->name; });
            return {200, kTlvType, memory_body(encoded({0, 0, 0}, any.encoding))};
        }
        return {200, kTlvType, memory_body(catalog_page(*variant, *query, client_root(request)))};
    }

    Answer version_answer(const httplib::Request& request) {
        QueryError error;
        const auto query = parse_service_query(query_of(request), kVersionType, error);
        if (!query) {
            return text_answer(400, error.message);
        }
        const Encoding encoding = m_content.version_encoding();
        if (query->wantsList) {
            return {200, kTlvType,
                    memory_body(version_list_answer(m_content.version_list(), encoding))};
        }
        if (!m_content.server_version()) {
            return text_answer(404, "no server version");
        }
        return {200, kTlvType,
                memory_body(server_version_answer(*m_content.server_version(), encoding))};
    }

    Answer file_answer(const std::string& path) {
        // The path arrives decoded; no part of it may climb out of the files folder.
        const std::filesystem::path relative = std::filesystem::path(path).relative_path();
        bool safe = !relative.empty() && path.find('\0') == std::string::npos &&
                    path.find('\\') == std::string::npos;
        for (const auto& part : relative) {
            safe = safe && part != ".." && part != ".";
        }
        std::shared_ptr<Body> body;
        if (safe) {
            body = file_body((m_content.files_root() / relative).string());
        }
        if (!body) {
            return text_answer(404, "not found");
        }
        return {200, content_type_of(path), body};
    }

    // The root the client reached us by, so that catalogs name files it can reach too.
    std::string client_root(const httplib::Request& request) const {
        const std::string host = request.get_header_value("Host");
        if (!host.empty() && host.size() < 256 &&
            std::all_of(host.begin(), host.end(), is_host_character)) {
            return scheme() + host;
        }
        return root();
    }

    // Sleeps; false when the server stops meanwhile.
    bool pause(std::chrono::milliseconds duration) {
        return pause_until(std::chrono::steady_clock::now() + duration);
    }

    bool pause_until(std::chrono::steady_clock::time_point end) {
        while (std::chrono::steady_clock::now() < end) {
            if (m_stopping) {
                return false;
            }
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
                kPollInterval, end - std::chrono::steady_clock::now()));
        }
        return !m_stopping;
    }

    void send(const httplib::Request& request, httplib::Response& response, Answer answer,
              const std::optional<Fault>& fault) {
        const std::uint64_t size = answer.body->size();
        std::uint64_t first = 0;
        std::uint64_t length = size;
        const bool rangesHonoured = !(fault && fault->ignoreRanges);
        if (answer.status == 200 && request.ranges.size() == 1 && rangesHonoured) {
            const auto [from, to] = request.ranges.front();
            const bool suffix = from < 0;  // the last `to` bytes
            if (suffix ? to <= 0 || size == 0 : static_cast<std::uint64_t>(from) >= size) {
                response.set_header("Content-Range", "bytes */" + std::to_string(size));
                answer = text_answer(416, "range not satisfiable");
                first = 0;
                length = answer.body->size();
            } else if (suffix) {
                length = std::min<std::uint64_t>(static_cast<std::uint64_t>(to), size);
                first = size - length;
            } else {
                first = static_cast<std::uint64_t>(from);
                const std::uint64_t last =
                    to < 0 ? size - 1
                           : std::min<std::uint64_t>(static_cast<std::uint64_t>(to), size - 1);
                length = last - first + 1;
            }
            if (answer.status == 200) {
                answer.status = 206;
                response.set_header("Content-Range", "bytes " + std::to_string(first) + "-" +
                                                         std::to_string(first + length - 1) + "/" +
                                                         std::to_string(size));
            }
        }
        // The HTTP layer would apply the ranges a second time, and it gets
        // ranges beyond the end wrong; they are answered here instead. Several
        // ranges are answered with the whole body, as HTTP allows.
        const_cast<httplib::Request&>(request).ranges.clear();
        response.status = answer.status;
        if (answer.status == 200 || answer.status == 206) {
            response.set_header("Accept-Ranges", "bytes");
        }
        t_record.status = answer.status;

        std::optional<std::uint64_t> limit;
        bool stall = false;
        if (fault && fault->closeAfter) {
            limit = *fault->closeAfter;
        } else if (fault && fault->stallAfter) {
            limit = *fault->stallAfter;
            stall = true;
        }
        auto body = answer.body;
        if (fault && fault->endless) {
            send_endless(response, answer, fault);
            return;
        }
        const std::optional<std::uint64_t> damageAt =
            fault && fault->damageAt && *fault->damageAt >= first &&
                    *fault->damageAt - first < length
                ? std::optional<std::uint64_t>(*fault->damageAt - first)
                : std::nullopt;
        auto buffer = std::make_shared<std::vector<char>>();
        response.set_content_provider(
            static_cast<std::size_t>(length), answer.contentType,
            [this, body, buffer, first, limit, stall, damageAt, pace = pace_for(fault)](
                std::size_t offset, std::size_t count, httplib::DataSink& sink) {
                if (limit && offset >= *limit) {
                    if (stall) {
                        pause(kLongestStall);
                    }
                    t_record.complete = false;
                    return false;
                }
                std::size_t piece = std::min(count, kChunk);
                if (limit) {
                    piece =
                        static_cast<std::size_t>(std::min<std::uint64_t>(piece, *limit - offset));
                }
                if (pace) {
                    piece = pace->slice(piece);
                    if (!pause_until(pace->due(offset, piece))) {
                        t_record.complete = false;
                        return false;
                    }
                }
                const char* bytes = body->view(first + offset);
                const bool damaged = damageAt && *damageAt >= offset && *damageAt - offset < piece;
                if (!bytes || damaged) {
                    buffer->resize(kChunk);
                    if (!body->read(first + offset, buffer->data(), piece)) {
                        t_record.complete = false;
                        return false;
                    }
                    bytes = buffer->data();
                }
                if (damaged) {
                    (*buffer)[*damageAt - offset] =
                        static_cast<char>(~(*buffer)[*damageAt - offset]);
                }
                if (!sink.write(bytes, piece)) {
                    t_record.complete = false;
                    return false;
                }
                t_record.bytesSent += piece;
                return !m_stopping.load();
            },
            [this](bool success) {
                if (!success) {
                    t_record.complete = false;
                }
                m_options.log(format_log_line(t_record));
                t_handled = false;
            });
    }

    // An answer's own pace, or the link its rule shares; nothing when unpaced.
    static std::shared_ptr<Pace> pace_for(const std::optional<Fault>& fault) {
        if (fault && fault->sharedLink) {
            return fault->sharedLink;
        }
        return fault && fault->rate ? std::make_shared<Pacer>(*fault->rate) : nullptr;
    }

    // The answer's body again and again without a length, until the client
    // goes or the server stops: a server that never stops sending.
    void send_endless(httplib::Response& response, const Answer& answer,
                      const std::optional<Fault>& fault) {
        auto body = answer.body;
        std::shared_ptr<Pace> pace = pace_for(fault);
        auto buffer = std::make_shared<std::vector<char>>(pace ? pace->slice(kChunk) : kChunk);
        response.set_chunked_content_provider(
            answer.contentType,
            [this, body, buffer, pace](std::size_t, httplib::DataSink& sink) {
                // An empty body streams zero bytes' worth of zeros: still without end.
                const std::uint64_t size = body->size();
                for (std::size_t piece = 0; size != 0 && piece < buffer->size();) {
                    const std::uint64_t at = (t_record.bytesSent + piece) % size;
                    const auto part = static_cast<std::size_t>(
                        std::min<std::uint64_t>(size - at, buffer->size() - piece));
                    if (!body->read(at, buffer->data() + piece, part)) {
                        t_record.complete = false;
                        return false;
                    }
                    piece += part;
                }
                if ((pace && !pause_until(pace->due(t_record.bytesSent, buffer->size()))) ||
                    m_stopping.load() || !sink.write(buffer->data(), buffer->size())) {
                    return false;
                }
                t_record.bytesSent += buffer->size();
                return true;
            },
            [this](bool) {
                t_record.complete = false;
                m_options.log(format_log_line(t_record));
                t_handled = false;
            });
    }

    ServerOptions m_options;
    Content m_content;
    FaultPlan m_faults;
    std::unique_ptr<httplib::Server> m_server;  // an httplib::SSLServer with a certificate
    httplib::Server& m_http;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_listenEnded{false};
    int m_port = 0;
    int m_listenSocket = -1;  // the HTTP library's, known from its socket options
};

MapServer::MapServer(ServerOptions options) : m_impl(std::make_unique<Impl>(std::move(options))) {}
MapServer::~MapServer() = default;
int MapServer::start() {
    return m_impl->start();
}
void MapServer::stop() {
    m_impl->stop();
}
int MapServer::port() const {
    return m_impl->port();
}
std::string MapServer::root() const {
    return m_impl->root();
}
FaultPlan& MapServer::faults() {
    return m_impl->faults();
}

}  // namespace atlasync::mapserver
