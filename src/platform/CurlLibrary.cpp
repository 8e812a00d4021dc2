// libcurl's entry points that the program uses, defined here and forwarded to the library, which is
// loaded with dlopen when a station, a playlist or a download first calls one of them. libcurl and
// what it brings (OpenSSL, GnuTLS, Kerberos, LDAP, SSH, RTMP: a few MiB of memory and several
// milliseconds of loading) then cost nothing to a player that only plays files. The code that uses
// libcurl includes its header and calls it as usual; without the library every handle fails to be
// made, and that code fails the stream or download as for any other handle it could not get.
//
// A library of its own (see src/CMakeLists.txt): the engine and the download transport both use it.

#include "platform/CurlLibrary.h"
#include "platform/LazyLibrary.h"

#include <curl/curl.h>

#include <cstdarg>
#include <thread>

// libcurl's own declarations put an enum before the variable arguments; its values are ints, so
// va_start is sound here, but clang warns about enums there in general.
#ifdef __clang__
#pragma clang diagnostic ignored "-Wvarargs"
#endif

namespace {

// Each entry: a libcurl function the program calls; its type comes from the header.
#define MP3ZX_CURL_SYMBOLS(X)                                                                               \
    X(curl_global_init)                                                                                     \
    X(curl_easy_init)                                                                                       \
    X(curl_easy_setopt)                                                                                     \
    X(curl_easy_getinfo)                                                                                    \
    X(curl_easy_cleanup)                                                                                    \
    X(curl_easy_strerror)                                                                                   \
    X(curl_slist_append)                                                                                    \
    X(curl_slist_free_all)                                                                                  \
    X(curl_multi_init)                                                                                      \
    X(curl_multi_add_handle)                                                                                \
    X(curl_multi_remove_handle)                                                                             \
    X(curl_multi_perform)                                                                                   \
    X(curl_multi_poll)                                                                                      \
    X(curl_multi_wakeup)                                                                                    \
    X(curl_multi_info_read)                                                                                 \
    X(curl_multi_cleanup)

struct Curl {
    MP3ZX_CURL_SYMBOLS(MP3ZX_LAZY_POINTER)
};

// The loaded library, or nullptr when it is missing or lacks a function.
const Curl* curl() {
    static const Curl* const loaded = loadLazyLibrary<Curl>("libcurl.so.4", [](void* handle, Curl& table) {
        MP3ZX_CURL_SYMBOLS(MP3ZX_LAZY_LOAD)
        return true;
    });
    return loaded;
}

} // namespace

void loadCurlAhead() {
    // Joined when the program ends, so no load is cut short by the exit.
    struct Loader {
        std::thread thread{[] { curl(); }};
        ~Loader() { thread.join(); }
    };
    static Loader loader;
}

extern "C" {

CURLcode curl_global_init(long flags) {
    const Curl* c = curl();
    return c ? c->curl_global_init(flags) : CURLE_FAILED_INIT;
}

CURL* curl_easy_init() {
    const Curl* c = curl();
    return c ? c->curl_easy_init() : nullptr;
}

// Every option takes one argument, whose type the option's number range gives (as libcurl itself
// reads it).
CURLcode curl_easy_setopt(CURL* easy, CURLoption option, ...) {
    const Curl* c = curl();
    if (!c) return CURLE_FAILED_INIT;
    va_list arguments;
    va_start(arguments, option);
    CURLcode result = CURLE_OK;
    if (option < CURLOPTTYPE_OBJECTPOINT)
        result = c->curl_easy_setopt(easy, option, va_arg(arguments, long));
    else if (option < CURLOPTTYPE_FUNCTIONPOINT)
        result = c->curl_easy_setopt(easy, option, va_arg(arguments, void*));
    else if (option < CURLOPTTYPE_OFF_T)
        result = c->curl_easy_setopt(easy, option, va_arg(arguments, void (*)()));
    else if (option < CURLOPTTYPE_BLOB)
        result = c->curl_easy_setopt(easy, option, va_arg(arguments, curl_off_t));
    else
        result = c->curl_easy_setopt(easy, option, va_arg(arguments, void*));
    va_end(arguments);
    return result;
}

// Every item is read into the place a pointer argument gives.
CURLcode curl_easy_getinfo(CURL* easy, CURLINFO info, ...) {
    const Curl* c = curl();
    if (!c) return CURLE_FAILED_INIT;
    va_list arguments;
    va_start(arguments, info);
    const CURLcode result = c->curl_easy_getinfo(easy, info, va_arg(arguments, void*));
    va_end(arguments);
    return result;
}

void curl_easy_cleanup(CURL* easy) {
    if (const Curl* c = curl()) c->curl_easy_cleanup(easy);
}

const char* curl_easy_strerror(CURLcode code) {
    const Curl* c = curl();
    return c ? c->curl_easy_strerror(code) : "libcurl could not be loaded";
}

curl_slist* curl_slist_append(curl_slist* list, const char* text) {
    const Curl* c = curl();
    return c ? c->curl_slist_append(list, text) : nullptr;
}

void curl_slist_free_all(curl_slist* list) {
    if (const Curl* c = curl()) c->curl_slist_free_all(list);
}

CURLM* curl_multi_init() {
    const Curl* c = curl();
    return c ? c->curl_multi_init() : nullptr;
}

CURLMcode curl_multi_add_handle(CURLM* multi, CURL* easy) {
    const Curl* c = curl();
    return c ? c->curl_multi_add_handle(multi, easy) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* easy) {
    const Curl* c = curl();
    return c ? c->curl_multi_remove_handle(multi, easy) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_perform(CURLM* multi, int* running) {
    const Curl* c = curl();
    return c ? c->curl_multi_perform(multi, running) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_poll(CURLM* multi, curl_waitfd extraFds[], unsigned int extraCount, int timeoutMs,
                          int* ready) {
    const Curl* c = curl();
    return c ? c->curl_multi_poll(multi, extraFds, extraCount, timeoutMs, ready) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_wakeup(CURLM* multi) {
    const Curl* c = curl();
    return c ? c->curl_multi_wakeup(multi) : CURLM_BAD_HANDLE;
}

CURLMsg* curl_multi_info_read(CURLM* multi, int* left) {
    const Curl* c = curl();
    return c ? c->curl_multi_info_read(multi, left) : nullptr;
}

CURLMcode curl_multi_cleanup(CURLM* multi) {
    const Curl* c = curl();
    return c ? c->curl_multi_cleanup(multi) : CURLM_BAD_HANDLE;
}

} // extern "C"
