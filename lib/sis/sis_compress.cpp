#include "sis/sis_compress.h"

#include "sis/errors.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <system_error>
#include <thread>

namespace kastra::sis {

namespace {

// One zlib stream per block, as zlib's compress() makes it (default level,
// 32 KiB window, zlib header and Adler-32 trailer). The deflate state and the
// output buffer are kept from block to block: allocating them afresh for every
// file costs more in page faults than small files cost to compress.
class Deflater {
public:
    Deflater() { m_ready = deflateInit(&m_zs, Z_DEFAULT_COMPRESSION) == Z_OK; }
    ~Deflater()
    {
        if (m_ready)
            deflateEnd(&m_zs);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    Result<Bytes> compress(const Bytes& data, const PackageRecord& r)
    {
        // One deflate() call takes at most 4 GiB in and out; a package cannot
        // address more than that anyway.
        if (data.size() > 0x7FFF0000u)
            return fail(SisError::TooLarge, at(r) + "the file is too large for a package");
        if (!m_ready || deflateReset(&m_zs) != Z_OK)
            return fail(SisError::Internal, at(r) + "zlib could not start compressing");
        const uLong bound = deflateBound(&m_zs, static_cast<uLong>(data.size()));
        if (m_capacity < bound) {
            m_buffer = std::make_unique_for_overwrite<std::uint8_t[]>(bound);
            m_capacity = bound;
        }
        m_zs.next_in = const_cast<Bytef*>(data.data());
        m_zs.avail_in = static_cast<uInt>(data.size());
        m_zs.next_out = m_buffer.get();
        m_zs.avail_out = static_cast<uInt>(bound);
        const int rc = deflate(&m_zs, Z_FINISH);
        if (rc != Z_STREAM_END)
            return fail(SisError::Internal,
                        at(r) + "zlib could not compress the file (error " + std::to_string(rc) + ")");
        return Bytes(m_buffer.get(), m_buffer.get() + m_zs.total_out);
    }

private:
    z_stream m_zs{};
    bool m_ready = false;
    std::unique_ptr<std::uint8_t[]> m_buffer;
    uLong m_capacity = 0;
};

} // namespace

// Each block is its own zlib stream, so a package of several files is
// compressed on several threads.

Result<void> compressAll(const std::vector<const PackageRecord*>& order, std::vector<std::vector<Bytes>>& packed)
{
    struct Job {
        std::size_t record;
        std::size_t block;
        std::size_t size;
    };
    std::vector<Job> jobs;
    std::size_t total = 0;
    for (std::size_t i = 0; i < order.size(); ++i)
        for (std::size_t b = 0; b < packed[i].size(); ++b) {
            jobs.push_back({i, b, order[i]->contents[b].size()});
            total += order[i]->contents[b].size();
        }
    // Largest first, so that no thread is left with one big file at the end.
    std::sort(jobs.begin(), jobs.end(), [](const Job& a, const Job& b) { return a.size > b.size; });

    std::vector<Result<void>> errors(jobs.size());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        Deflater deflater;
        for (std::size_t j = next++; j < jobs.size(); j = next++) {
            const Job& job = jobs[j];
            auto z = deflater.compress(order[job.record]->contents[job.block], *order[job.record]);
            if (z)
                packed[job.record][job.block] = std::move(*z);
            else
                errors[j] = fail(z.code(), z.error());
        }
    };
    // Threads pay off only when there is real work to share.
    constexpr std::size_t kBytesPerThread = 64 * 1024;
    const std::size_t wanted = std::min<std::size_t>({std::max(1u, std::thread::hardware_concurrency()), 8,
                                                      jobs.size(), total / kBytesPerThread + 1});
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < wanted; ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break; // no more threads: the ones running finish the work
        }
    }
    work();
    for (std::thread& t : helpers)
        t.join();
    for (const Result<void>& e : errors)
        if (!e)
            return e;
    return {};
}

} // namespace kastra::sis
