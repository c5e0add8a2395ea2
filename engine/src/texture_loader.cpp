// texture_loader.cpp -- the decoding worker, the hand-over of pictures to draws, and the
// short-lived cache of released pictures.
#include <libdeflate.h>
#include <xmmintrin.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "engine.hpp"
#include "png_reader.hpp"

namespace brisel {

struct DecodeJob {
    enum class State { Queued, Decoding, Done };
    State state = State::Queued;  // guarded by the loader's mutex
    std::vector<uint8_t> data;    // the file, checked whole
    PngInfo info;
    std::string file;
    Image image;  // the result, once Done
    std::string error;
    bool ok = false;
};

namespace {

// One worker is enough: the main thread decodes too whenever it needs a picture that the
// worker has not begun, so both cores work while a scene starts.
class Loader {
public:
    ~Loader() { Stop(); }

    void Queue(const std::shared_ptr<DecodeJob>& job) {
        std::lock_guard<std::mutex> lock(m_);
        if (!worker_.joinable()) {
            stopping_ = false;
            worker_ = std::thread([this] { Work(); });
        }
        queue_.push_back(job);
        wake_.notify_one();
    }

    // Waits for the job, decoding it here if the worker has not begun it.
    void Finish(DecodeJob& job) {
        std::unique_lock<std::mutex> lock(m_);
        if (job.state == DecodeJob::State::Queued) {
            Unqueue(job);
            job.state = DecodeJob::State::Decoding;
            lock.unlock();
            Decode(job);
            lock.lock();
            job.state = DecodeJob::State::Done;
            return;
        }
        done_.wait(lock, [&] { return job.state == DecodeJob::State::Done; });
    }

    // A texture released before it was drawn: a job not yet begun is dropped.
    void Cancel(DecodeJob& job) {
        std::lock_guard<std::mutex> lock(m_);
        if (job.state == DecodeJob::State::Queued) {
            Unqueue(job);
            job.state = DecodeJob::State::Done;
        }
    }

    void Stop() {
        {
            std::lock_guard<std::mutex> lock(m_);
            if (!worker_.joinable()) return;
            stopping_ = true;
            for (auto& job : queue_) job->state = DecodeJob::State::Done;
            queue_.clear();
            wake_.notify_all();
        }
        worker_.join();
    }

private:
    static void Decode(DecodeJob& job) {
        job.ok = DecodePng(job.data.data(), job.data.size(), job.info, job.image, job.error);
        job.data = {};
    }

    void Unqueue(DecodeJob& job) {
        for (auto it = queue_.begin(); it != queue_.end(); ++it)
            if (it->get() == &job) {
                queue_.erase(it);
                return;
            }
    }

    void Work() {
        // Decoders run in the platform's default floating-point environment, whatever the
        // thread that started this one had.
        _mm_setcsr(0x1F80);
        std::unique_lock<std::mutex> lock(m_);
        while (true) {
            wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            std::shared_ptr<DecodeJob> job = queue_.front();
            queue_.pop_front();
            job->state = DecodeJob::State::Decoding;
            lock.unlock();
            Decode(*job);
            lock.lock();
            job->state = DecodeJob::State::Done;
            done_.notify_all();
        }
    }

    std::mutex m_;
    std::condition_variable wake_, done_;
    std::deque<std::shared_ptr<DecodeJob>> queue_;
    std::thread worker_;
    bool stopping_ = false;
};

Loader& TheLoader() {
    static Loader loader;
    return loader;
}

// Pictures of released textures, kept for the scene that follows.
struct Kept {
    std::string file;
    size_t size;
    uint32_t crc;
    int64_t releasedAt;  // frame step
    Image image;
};
std::vector<Kept> g_kept;

}  // namespace

const Image& TexImage(BriselTex* tex) {
    if (tex->decoding != nullptr) {
        std::shared_ptr<DecodeJob> job = tex->decoding;
        TheLoader().Finish(*job);
        tex->decoding.reset();
        if (!job->ok) {
            tex->image = Image{};
            tex->decoding = job;  // stays failed: every later draw says so too
            Raise(BRISEL_FAIL_LOAD, job->file + ": " + job->error);
        }
        tex->image = std::move(job->image);
    }
    return tex->image;
}

BriselTex* LoadTexture(const char* name) {
    std::string file = DataPath(name);
    std::vector<uint8_t> data = ReadWholeFile(file);
    PngInfo info;
    std::string error;
    if (!CheckPng(data.data(), data.size(), info, error)) Raise(BRISEL_FAIL_LOAD, file + ": " + error);
    auto tex = std::make_unique<BriselTex>();
    tex->name = name;
    tex->file = file;
    tex->width = int(info.width);
    tex->height = int(info.height);
    tex->fileSize = data.size();
    tex->fileCrc = uint32_t(libdeflate_crc32(0, data.data(), data.size()));
    for (auto it = g_kept.begin(); it != g_kept.end(); ++it)
        if (it->file == file && it->size == tex->fileSize && it->crc == tex->fileCrc) {
            tex->image = std::move(it->image);
            g_kept.erase(it);
            break;
        }
    if (tex->image.width == 0) {
        auto job = std::make_shared<DecodeJob>();
        job->data = std::move(data);
        job->info = info;
        job->file = file;
        tex->decoding = job;
        TheLoader().Queue(job);
    }
    BriselTex* handle = tex.release();
    Register(handle, Kind::Tex);
    return handle;
}

void ForgetTexture(BriselTex* tex) {
    if (tex->decoding != nullptr) {
        TheLoader().Cancel(*tex->decoding);
        tex->decoding.reset();
        return;
    }
    if (tex->file.empty() || tex->image.width == 0) return;
    tex->image.scaled.clear();  // copies at the old scene's sizes go; the picture stays
    g_kept.push_back(Kept{tex->file, tex->fileSize, tex->fileCrc, E().step, std::move(tex->image)});
}

void AgeTextureCache(int64_t step) {
    std::erase_if(g_kept, [&](const Kept& k) { return k.releasedAt < step - 1; });
}

void StopTextureLoader() {
    TheLoader().Stop();
    g_kept.clear();
}

}  // namespace brisel
