#pragma once
// A fresh folder under the system temp folder, removed with everything in it at scope end.
#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include <unistd.h>

class ScratchDir {
public:
    ScratchDir()
    {
        static std::atomic<int> counter{0};
        m_path = std::filesystem::temp_directory_path() /
                 ("veltris-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(m_path);
        std::filesystem::create_directories(m_path);
    }
    ~ScratchDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }

    std::filesystem::path write(std::string_view name, std::string_view bytes) const
    {
        const auto p = m_path / name;
        std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return p;
    }

private:
    std::filesystem::path m_path;
};
