// HTTP client functions over handles: a session, its connections and their requests.
// Calls are synchronous; a closed handle closes everything opened under it.
#pragma once

#include "windows.h"

typedef LPVOID HINTERNET;
typedef HINTERNET* LPHINTERNET;
typedef WORD INTERNET_PORT;
typedef INTERNET_PORT* LPINTERNET_PORT;

typedef enum {
    INTERNET_SCHEME_PARTIAL = -2,
    INTERNET_SCHEME_UNKNOWN = -1,
    INTERNET_SCHEME_DEFAULT = 0,
    INTERNET_SCHEME_FTP,
    INTERNET_SCHEME_GOPHER,
    INTERNET_SCHEME_HTTP,
    INTERNET_SCHEME_HTTPS,
    INTERNET_SCHEME_FILE,
    INTERNET_SCHEME_NEWS,
    INTERNET_SCHEME_MAILTO,
} INTERNET_SCHEME;

typedef struct {
    DWORD dwStructSize;
    LPWSTR lpszScheme;
    DWORD dwSchemeLength;
    INTERNET_SCHEME nScheme;
    LPWSTR lpszHostName;
    DWORD dwHostNameLength;
    INTERNET_PORT nPort;
    LPWSTR lpszUserName;
    DWORD dwUserNameLength;
    LPWSTR lpszPassword;
    DWORD dwPasswordLength;
    LPWSTR lpszUrlPath;
    DWORD dwUrlPathLength;
    LPWSTR lpszExtraInfo;
    DWORD dwExtraInfoLength;
} URL_COMPONENTSW, *LPURL_COMPONENTSW;

#define INTERNET_OPEN_TYPE_PRECONFIG 0
#define INTERNET_OPEN_TYPE_DIRECT 1
#define INTERNET_OPEN_TYPE_PROXY 3
#define INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY 4

#define INTERNET_INVALID_PORT_NUMBER 0
#define INTERNET_DEFAULT_HTTP_PORT 80
#define INTERNET_DEFAULT_HTTPS_PORT 443

#define INTERNET_SERVICE_FTP 1
#define INTERNET_SERVICE_GOPHER 2
#define INTERNET_SERVICE_HTTP 3

#define INTERNET_FLAG_RELOAD 0x80000000
#define INTERNET_FLAG_RAW_DATA 0x40000000
#define INTERNET_FLAG_EXISTING_CONNECT 0x20000000
#define INTERNET_FLAG_ASYNC 0x10000000
#define INTERNET_FLAG_NO_CACHE_WRITE 0x04000000
#define INTERNET_FLAG_DONT_CACHE INTERNET_FLAG_NO_CACHE_WRITE
#define INTERNET_FLAG_SECURE 0x00800000
#define INTERNET_FLAG_KEEP_CONNECTION 0x00400000
#define INTERNET_FLAG_NO_AUTO_REDIRECT 0x00200000
#define INTERNET_FLAG_NO_COOKIES 0x00080000
#define INTERNET_FLAG_CACHE_IF_NET_FAIL 0x00010000
#define INTERNET_FLAG_PRAGMA_NOCACHE 0x00000100

#define INTERNET_OPTION_CONNECT_TIMEOUT 2
#define INTERNET_OPTION_SEND_TIMEOUT 5
#define INTERNET_OPTION_RECEIVE_TIMEOUT 6
#define INTERNET_OPTION_DATA_SEND_TIMEOUT 7
#define INTERNET_OPTION_DATA_RECEIVE_TIMEOUT 8

#define ICU_ESCAPE 0x80000000
#define ICU_NO_ENCODE 0x20000000
#define ICU_DECODE 0x10000000
#define ICU_NO_META 0x08000000
#define ICU_ENCODE_SPACES_ONLY 0x04000000
#define ICU_BROWSER_MODE 0x02000000
#define ICU_ENCODE_PERCENT 0x00001000

#define HTTP_QUERY_CONTENT_TYPE 1
#define HTTP_QUERY_CONTENT_LENGTH 5
#define HTTP_QUERY_DATE 9
#define HTTP_QUERY_EXPIRES 10
#define HTTP_QUERY_LAST_MODIFIED 11
#define HTTP_QUERY_VERSION 18
#define HTTP_QUERY_STATUS_CODE 19
#define HTTP_QUERY_STATUS_TEXT 20
#define HTTP_QUERY_RAW_HEADERS 21
#define HTTP_QUERY_RAW_HEADERS_CRLF 22
#define HTTP_QUERY_CONNECTION 23
#define HTTP_QUERY_LOCATION 33
#define HTTP_QUERY_SERVER 37
#define HTTP_QUERY_ACCEPT_RANGES 42
#define HTTP_QUERY_ETAG 54
#define HTTP_QUERY_CUSTOM 65535
#define HTTP_QUERY_FLAG_REQUEST_HEADERS 0x80000000
#define HTTP_QUERY_FLAG_SYSTEMTIME 0x40000000
#define HTTP_QUERY_FLAG_NUMBER 0x20000000
#define HTTP_QUERY_MODIFIER_FLAGS_MASK 0xF0000000
#define HTTP_QUERY_HEADER_MASK 0x0000FFFF

#define INTERNET_ERROR_BASE 12000
// The codes callers test most are in winerror.h.
#define ERROR_INTERNET_OUT_OF_HANDLES 12001
#define ERROR_INTERNET_INVALID_OPTION 12009
#define ERROR_INTERNET_BAD_OPTION_LENGTH 12010
#define ERROR_INTERNET_INVALID_OPERATION 12016
#define ERROR_INTERNET_OPERATION_CANCELLED 12017
#define ERROR_INTERNET_INCORRECT_HANDLE_STATE 12019
#define ERROR_HTTP_INVALID_SERVER_RESPONSE 12152
#define ERROR_HTTP_INVALID_QUERY_REQUEST 12154
#define ERROR_HTTP_REDIRECT_FAILED 12156

W32_BEGIN_C
HINTERNET WINAPI InternetOpenW(LPCWSTR agent, DWORD access_type, LPCWSTR proxy,
                               LPCWSTR proxy_bypass, DWORD flags);
HINTERNET WINAPI InternetConnectW(HINTERNET internet, LPCWSTR server_name,
                                  INTERNET_PORT server_port, LPCWSTR user_name,
                                  LPCWSTR password, DWORD service, DWORD flags,
                                  DWORD_PTR context);
HINTERNET WINAPI InternetOpenUrlW(HINTERNET internet, LPCWSTR url, LPCWSTR headers,
                                  DWORD headers_length, DWORD flags, DWORD_PTR context);
BOOL WINAPI InternetCloseHandle(HINTERNET internet);
BOOL WINAPI InternetSetOptionW(HINTERNET internet, DWORD option, LPVOID buffer,
                               DWORD buffer_length);
BOOL WINAPI InternetQueryOptionW(HINTERNET internet, DWORD option, LPVOID buffer,
                                 LPDWORD buffer_length);
HINTERNET WINAPI HttpOpenRequestW(HINTERNET connect, LPCWSTR verb, LPCWSTR object_name,
                                  LPCWSTR version, LPCWSTR referrer, LPCWSTR* accept_types,
                                  DWORD flags, DWORD_PTR context);
BOOL WINAPI HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD headers_length,
                             LPVOID optional, DWORD optional_length);
BOOL WINAPI HttpQueryInfoW(HINTERNET request, DWORD info_level, LPVOID buffer,
                           LPDWORD buffer_length, LPDWORD index);
BOOL WINAPI InternetReadFile(HINTERNET file, LPVOID buffer, DWORD bytes_to_read,
                             LPDWORD bytes_read);
BOOL WINAPI InternetQueryDataAvailable(HINTERNET file, LPDWORD bytes_available, DWORD flags,
                                       DWORD_PTR context);
DWORD WINAPI InternetSetFilePointer(HINTERNET file, LONG distance_to_move,
                                    PLONG distance_to_move_high, DWORD move_method,
                                    DWORD_PTR context);
BOOL WINAPI InternetCrackUrlW(LPCWSTR url, DWORD url_length, DWORD flags,
                              LPURL_COMPONENTSW components);
BOOL WINAPI InternetCanonicalizeUrlW(LPCWSTR url, LPWSTR buffer, LPDWORD buffer_length,
                                     DWORD flags);
W32_END_C
