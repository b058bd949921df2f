// Streams and stream creators: reading, seeking, names, and use from several threads.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Quorra.h"
#include "quorra/src/QrFileStream.h"

namespace {

std::vector<unsigned char> Pattern(std::size_t n) {
    std::vector<unsigned char> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<unsigned char>(i * 7 + i / 251);
    return v;
}

struct TempFile {
    std::string path;
    explicit TempFile(const std::vector<unsigned char>& bytes) {
        char name[] = "/tmp/qrtestXXXXXX";
        const int fd = mkstemp(name);
        path = name;
        EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        close(fd);
    }
    ~TempFile() { unlink(path.c_str()); }
};

// Reads the whole stream in chunks of `chunk` bytes.
std::vector<unsigned char> Drain(CQrReadStream& s, std::int64_t chunk) {
    std::vector<unsigned char> out, buf(static_cast<std::size_t>(chunk));
    for (;;) {
        const std::int64_t n = s.Read(buf.data(), chunk);
        EXPECT_GE(n, 0);
        if (n <= 0)
            return out;
        out.insert(out.end(), buf.begin(), buf.begin() + n);
    }
}

// Both stream kinds must behave alike; each check runs on a file and a memory stream.
void CheckStream(CQrReadStream& s, const std::vector<unsigned char>& data) {
    const auto size = static_cast<std::int64_t>(data.size());
    ASSERT_EQ(s.GetSize(), size);
    for (std::int64_t chunk : {1, 3, 4096, 70000, 300000}) {
        ASSERT_EQ(s.Seek(0), 0);
        EXPECT_EQ(Drain(s, chunk), data) << "chunk " << chunk;
        EXPECT_EQ(s.Tell(), size);
    }
    // Seeks inside and outside the data, backwards across the file buffer.
    unsigned char b = 0;
    for (std::int64_t pos : {size - 1, std::int64_t{0}, std::int64_t{65537}, std::int64_t{5}}) {
        ASSERT_EQ(s.Seek(pos), 0);
        ASSERT_EQ(s.Read(&b, 1), 1);
        EXPECT_EQ(b, data[static_cast<std::size_t>(pos)]) << pos;
    }
    EXPECT_EQ(s.Seek(size + 1), QR_E_SEEK);
    EXPECT_EQ(s.Seek(-1), QR_E_SEEK);
    EXPECT_EQ(s.Tell(), 6);
    // ReadExact and Skip at the end.
    ASSERT_EQ(s.Seek(size - 4), 0);
    unsigned char four[8];
    EXPECT_EQ(s.ReadExact(four, 8), QR_E_EOF);
    ASSERT_EQ(s.Seek(10), 0);
    EXPECT_EQ(s.Skip(20), 0);
    EXPECT_EQ(s.Tell(), 30);
    EXPECT_EQ(s.Skip(size), QR_E_EOF);
    EXPECT_EQ(s.Read(four, -1), QR_E_ARGUMENT);
}

}  // namespace

TEST(QrStreamTest, FileAndMemoryStreamsReadAndSeekAlike) {
    const auto data = Pattern(200000);
    TempFile file(data);
    CQrFileStreamCreator files;
    CQrReadStream* fs = files.CreateStream(file.path.c_str());
    ASSERT_NE(fs, nullptr);
    // A file of this size is read whole at once and read in place.
    ASSERT_NE(fs->GetMemory(), nullptr);
    EXPECT_EQ(0, std::memcmp(fs->GetMemory(), data.data(), data.size()));
    CheckStream(*fs, data);
    files.FreeStream(fs);
    // Past the limit a file is read piece by piece through the stream's buffer.
    auto buffered = CQrFileReadStream::Open(file.path.c_str(), 1000);
    ASSERT_NE(buffered, nullptr);
    EXPECT_EQ(buffered->GetMemory(), nullptr);
    CheckStream(*buffered, data);

    CQrMemoryReadStream ms(data.data(), data.size());
    EXPECT_EQ(ms.GetMemory(), data.data());
    CheckStream(ms, data);
}

TEST(QrStreamTest, FileCreatorRefusesWhatIsNoReadableFile) {
    CQrFileStreamCreator files;
    for (const char* name :
         {static_cast<const char*>(nullptr), "", "/nonexistent/file.bmp", "/tmp"}) {
        EXPECT_EQ(files.CreateStream(name), nullptr) << (name ? name : "null");
    }
    files.FreeStream(nullptr);  // ignored
    // A creator handed over is released by Free.
    CQrStreamCreator* owned = new CQrFileStreamCreator;
    owned->Free();
}

TEST(QrStreamTest, MemoryCreatorServesRegisteredNames) {
    CQrMemoryStreamCreator mem;
    const auto a = Pattern(100), b = Pattern(50);
    EXPECT_EQ(mem.RegisterBuffer(nullptr, a.data(), a.size()), QR_E_ARGUMENT);
    EXPECT_EQ(mem.RegisterBuffer("x", nullptr, 5), QR_E_ARGUMENT);
    ASSERT_EQ(mem.RegisterBuffer("a", a.data(), a.size()), 0);
    ASSERT_EQ(mem.RegisterBuffer("empty", nullptr, 0), 0);
    EXPECT_EQ(mem.GetCount(), 2u);
    EXPECT_EQ(mem.CreateStream("b"), nullptr);
    EXPECT_EQ(mem.CreateStream(nullptr), nullptr);

    CQrReadStream* s = mem.CreateStream("a");
    ASSERT_NE(s, nullptr);
    // Replacing and removing the name leaves the open stream on its old bytes.
    ASSERT_EQ(mem.RegisterBuffer("a", b.data(), b.size()), 0);
    ASSERT_EQ(mem.UnregisterBuffer("a"), 0);
    EXPECT_EQ(mem.UnregisterBuffer("a"), QR_E_UNKNOWN);
    EXPECT_EQ(Drain(*s, 7), a);
    mem.FreeStream(s);

    CQrReadStream* e = mem.CreateStream("empty");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->GetSize(), 0);
    unsigned char byte;
    EXPECT_EQ(e->Read(&byte, 1), 0);
    mem.FreeStream(e);
    mem.UnregisterAll();
    EXPECT_EQ(mem.GetCount(), 0u);
}

// Streams created and freed on many threads at once while names come and go must
// all read their full, unmixed content.
TEST(QrStreamTest, CreatorsServeSeveralThreadsAtOnce) {
    CQrMemoryStreamCreator mem;
    CQrFileStreamCreator files;
    const auto data = Pattern(5000);
    TempFile file(data);
    constexpr int kNames = 8;
    for (int i = 0; i < kNames; ++i) {
        std::vector<unsigned char> v(1000, static_cast<unsigned char>(i));
        mem.RegisterBuffer(std::to_string(i).c_str(), v.data(), v.size());
    }
    std::atomic<int> bad{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int k = 0; k < 300; ++k) {
                const int i = (k + t) % kNames;
                if (CQrReadStream* s = mem.CreateStream(std::to_string(i).c_str())) {
                    const auto got = Drain(*s, 333);
                    if (got.size() != 1000 || got.front() != i || got.back() != i)
                        ++bad;
                    mem.FreeStream(s);
                }
                if (k % 10 == 0) {
                    CQrReadStream* f = files.CreateStream(file.path.c_str());
                    if (!f || Drain(*f, 1024) != data)
                        ++bad;
                    files.FreeStream(f);
                }
            }
        });
    }
    // Meanwhile one thread replaces and drops names.
    threads.emplace_back([&] {
        for (int k = 0; k < 300; ++k) {
            const std::string name = std::to_string(k % kNames);
            std::vector<unsigned char> v(1000, static_cast<unsigned char>(k % kNames));
            mem.UnregisterBuffer(name.c_str());
            mem.RegisterBuffer(name.c_str(), v.data(), v.size());
        }
    });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(bad.load(), 0);
}
