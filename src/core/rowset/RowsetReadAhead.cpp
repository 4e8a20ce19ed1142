#include "rowset/RowsetReadAhead.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace tunelix::rowset {

namespace {

constexpr size_t kBatchRows = 256;   // rows handed over at once: one lock per batch
constexpr size_t kQueuedBatches = 8; // the parser waits beyond this

// Thrown on the parsing thread when the consumer has stopped listening.
struct ReadingStopped
{
};

// What passes from the parsing thread to the caller, in order: the columns, then
// batches of rows, then the end (with the reader's error, if any).
class Handover
{
public:
    // Parsing thread.
    void putColumns(const std::vector<Column> &columns)
    {
        std::lock_guard lock(m_mutex);
        m_columns = columns;
        m_changed.notify_all();
    }
    void putBatch(std::vector<Row> &&batch)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_stopped || m_batches.size() < kQueuedBatches; });
        if (m_stopped)
            throw ReadingStopped();
        m_batches.push_back(std::move(batch));
        m_changed.notify_all();
    }
    void finish(std::exception_ptr error)
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
        m_error = std::move(error);
        m_changed.notify_all();
    }

    // Calling thread. The columns once they are known; nullopt when the reading ended
    // before the schema was read.
    std::optional<std::vector<Column>> takeColumns()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_columns || m_finished; });
        return std::exchange(m_columns, std::nullopt);
    }
    // The next batch; false at the end of the rows.
    bool takeBatch(std::vector<Row> &batch)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_batches.empty() || m_finished; });
        if (m_batches.empty())
            return false;
        batch = std::move(m_batches.front());
        m_batches.pop_front();
        m_changed.notify_all();
        return true;
    }
    std::exception_ptr error()
    {
        std::lock_guard lock(m_mutex);
        return m_error;
    }
    void stop()
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<std::vector<Column>> m_columns;
    std::deque<std::vector<Row>> m_batches;
    bool m_finished = false;
    bool m_stopped = false;
    std::exception_ptr m_error;
};

// The sink on the parsing thread: gathers rows into batches for the handover.
class BatchingSink final : public RowsetSink
{
public:
    explicit BatchingSink(Handover &handover)
        : m_handover(handover)
    {
        m_batch.reserve(kBatchRows);
    }
    void columns(const std::vector<Column> &columns) override { m_handover.putColumns(columns); }
    void row(const Row &row) override
    {
        m_batch.push_back(row);
        if (m_batch.size() >= kBatchRows)
            flush();
    }
    void flush()
    {
        if (m_batch.empty())
            return;
        m_handover.putBatch(std::move(m_batch));
        m_batch = {};
        m_batch.reserve(kBatchRows);
    }

private:
    Handover &m_handover;
    std::vector<Row> m_batch;
};

// Owns the parsing thread: stops and joins it however the caller leaves.
class ParsingThread
{
public:
    ParsingThread(const QString &path, Handover &handover)
        : m_handover(handover), m_thread([path, &handover] {
              // Nothing may leave a thread's function: every error goes to the caller.
              std::exception_ptr error;
              try {
                  BatchingSink batching(handover);
                  try {
                      readRowsetFile(path, batching);
                  } catch (const ReadingStopped &) {
                      throw;
                  } catch (...) {
                      error = std::current_exception();
                  }
                  // The rows read before an error are delivered before the error.
                  batching.flush();
              } catch (const ReadingStopped &) {
              } catch (...) {
                  if (!error)
                      error = std::current_exception();
              }
              handover.finish(std::move(error));
          })
    {
    }
    ~ParsingThread()
    {
        m_handover.stop();
        m_thread.join();
    }
    ParsingThread(const ParsingThread &) = delete;
    ParsingThread &operator=(const ParsingThread &) = delete;

private:
    Handover &m_handover;
    std::thread m_thread;
};

} // namespace

void readRowsetFileAhead(const QString &path, RowsetSink &sink)
{
    Handover handover;
    {
        ParsingThread parsing(path, handover);
        if (const auto columns = handover.takeColumns()) {
            sink.columns(*columns);
            std::vector<Row> batch;
            while (handover.takeBatch(batch)) {
                for (const Row &row : batch)
                    sink.row(row);
            }
        }
    }
    if (const std::exception_ptr error = handover.error())
        std::rethrow_exception(error);
}

} // namespace tunelix::rowset
