#include "support/log_capture.h"

#include "base/log.h"
#include "base/string_util.h"

namespace testing_support {

LogCapture::LogCapture(int level) : path_(dir_.file("capture.log")) {
    file_ = fopen(path_.c_str(), "wb");
    COutput2FILE::Stream() = file_;
    CFileLog::ReportingLevel(LCAT_ALL) = level;
}

LogCapture::~LogCapture() {
    COutput2FILE::Stream() = stderr;
    CFileLog::ReportingLevel(LCAT_ALL) = LL_DEBUG;
    if (file_) fclose(file_);
}

std::string LogCapture::Text() const {
    if (file_) fflush(file_);
    const std::string bytes = ReadAll(path_);
    std::wstring wide;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                            static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    return base::WideToUtf8(wide);
}

}  // namespace testing_support
