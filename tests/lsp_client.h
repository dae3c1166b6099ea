// lsp_client.h - a language client for tests and benchmarks: starts `umb --lsp` with pipes,
// frames and reads its messages, each wait bounded in time.
#pragma once

#include <nlohmann/json.hpp>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

struct LspClient {
    using Json = nlohmann::json;
    pid_t pid = -1;
    int in = -1;   // the server's standard input
    int out = -1;  // the server's standard output
    std::string held;
    std::vector<Json> notifications;  // received while waiting for something else

    // Starts the program as a language server in folder; returns whether it started.
    bool Start(const std::string& program, const std::string& folder) {
        std::signal(SIGPIPE, SIG_IGN);
        int toServer[2], fromServer[2];
        if (::pipe(toServer) != 0 || ::pipe(fromServer) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toServer[0], 0);
        posix_spawn_file_actions_adddup2(&actions, fromServer[1], 1);
        posix_spawn_file_actions_addclose(&actions, toServer[1]);
        posix_spawn_file_actions_addclose(&actions, fromServer[0]);
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
        char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("--lsp"), nullptr};
        const int started = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(toServer[0]);
        ::close(fromServer[1]);
        in = toServer[1];
        out = fromServer[0];
        return started == 0;
    }

    bool SendRaw(const std::string& bytes) {
        for (size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::write(in, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

    bool Send(const Json& message) {
        const std::string body = message.dump();
        return SendRaw("Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    }

    bool Request(int id, const std::string& method, Json params = Json::object()) {
        return Send({{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}});
    }
    bool Notify(const std::string& method, Json params = Json::object()) {
        return Send({{"jsonrpc", "2.0"}, {"method", method}, {"params", params}});
    }

    // The next message's body as it came, or nothing when none comes within timeoutMs or the
    // server ended.
    std::optional<std::string> NextBody(int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const size_t blank = held.find("\r\n\r\n");
            if (blank != std::string::npos) {
                const size_t at = held.find("Content-Length: ");
                const size_t length = std::strtoul(held.c_str() + at + 16, nullptr, 10);
                if (held.size() >= blank + 4 + length) {
                    std::string body = held.substr(blank + 4, length);
                    held.erase(0, blank + 4 + length);
                    return body;
                }
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  end - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0) return std::nullopt;
            pollfd p{out, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
            char buf[65536];
            const ssize_t n = ::read(out, buf, sizeof buf);
            if (n <= 0) return std::nullopt;
            held.append(buf, static_cast<size_t>(n));
        }
    }

    // The next message, or nothing.
    std::optional<Json> Next(int timeoutMs) {
        const std::optional<std::string> body = NextBody(timeoutMs);
        if (!body) return std::nullopt;
        return Json::parse(*body, nullptr, false);
    }

    // The response to request id; notifications met on the way are kept.
    std::optional<Json> Response(const Json& id, int timeoutMs = 10000) {
        for (;;) {
            std::optional<Json> m = Next(timeoutMs);
            if (!m) return m;
            if (m->contains("id") && !m->contains("method") && (*m)["id"] == id) return m;
            notifications.push_back(std::move(*m));
        }
    }

    // The next diagnostics published for uri (kept ones first), or nothing.
    std::optional<Json> Diagnostics(const std::string& uri, int timeoutMs = 10000) {
        for (size_t i = 0; i < notifications.size(); ++i) {
            const Json& n = notifications[i];
            if (n.value("method", "") == "textDocument/publishDiagnostics" &&
                n["params"]["uri"] == uri) {
                Json d = n["params"]["diagnostics"];
                notifications.erase(notifications.begin() + static_cast<long>(i));
                return d;
            }
        }
        for (;;) {
            std::optional<Json> m = Next(timeoutMs);
            if (!m) return m;
            if (m->value("method", "") == "textDocument/publishDiagnostics" &&
                (*m)["params"]["uri"] == uri)
                return (*m)["params"]["diagnostics"];
            notifications.push_back(std::move(*m));
        }
    }

    // Waits for the server to end; its exit status, or -1 when it did not end within timeoutMs
    // (it is then killed).
    int Wait(int timeoutMs) {
        if (in >= 0) ::close(in), in = -1;
        for (int waited = 0;; waited += 10) {
            int status = 0;
            const pid_t done = ::waitpid(pid, &status, WNOHANG);
            if (done == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            if (waited >= timeoutMs) break;
            ::usleep(10000);
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
        return -1;
    }

    ~LspClient() {
        if (pid > 0) Wait(0);
        if (in >= 0) ::close(in);
        if (out >= 0) ::close(out);
    }
};
