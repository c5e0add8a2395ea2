// texture_loader.cpp -- the decoding worker, the hand-over of pictures to draws, and the
// short-lived cache of released pictures.
#include <libdeflate.h>

#include <cctype>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
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
    RenderFn render;                  // or anything else made on the worker
    int texWidth = 0, texHeight = 0;  // what `render` made stands for (0: its own size)
    Image image;                      // the result, once Done
    std::shared_ptr<Image> picture;   // the same, handed to every texture waiting for it
    int holders = 0;                  // textures waiting for it (game thread only)
    std::string error;
    uint32_t code = BRISEL_FAIL_LOAD;
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

    // Drops every job not yet begun and tells the worker to leave after the one in hand, without
    // waiting for it; Stop waits.
    void RequestStop() {
        std::lock_guard<std::mutex> lock(m_);
        if (!worker_.joinable()) return;
        stopping_ = true;
        for (auto& job : queue_) job->state = DecodeJob::State::Done;
        queue_.clear();
        wake_.notify_all();
    }

    void Stop() {
        RequestStop();
        if (worker_.joinable()) worker_.join();
    }

private:
    static void Decode(DecodeJob& job) {
        if (job.render) {
            job.ok = job.render(job.image, job.texWidth, job.texHeight, job.code, job.error);
            job.render = nullptr;  // lets go of what it holds (the font) on this thread
            return;
        }
        job.ok = DecodePng(job.data.data(), job.data.size(), job.info, job.image, job.error);
        if (!job.ok) job.error = job.file + ": " + job.error;
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
        SetDefaultFpSetting();
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

// A picture by the file it came from.
struct Key {
    std::string file;
    size_t size = 0;
    uint32_t crc = 0;
    bool operator==(const Key&) const = default;
};

// Pictures of released textures, kept for the scene that follows.
struct Kept {
    Key key;
    int64_t releasedAt;  // frame step
    std::shared_ptr<Image> picture;
};
std::vector<Kept> g_kept;

// Pictures and decodings of live textures, so a second texture of a file shares them.
struct Shared {
    Key key;
    std::weak_ptr<Image> picture;
    std::weak_ptr<DecodeJob> job;
};
std::vector<Shared> g_shared;

Key KeyOf(const BriselTex* tex) { return Key{tex->file, tex->fileSize, tex->fileCrc}; }

// Decodings started at Init for the first scene, not yet taken by a LoadTex.
struct Preloaded {
    Key key;
    std::shared_ptr<DecodeJob> job;
};
std::vector<Preloaded> g_preloaded;

// Reads and checks a picture file without raising: false with `error` when missing or bad.
bool ReadPicture(const std::string& file, std::vector<uint8_t>& data, PngInfo& info, std::string& error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "cannot open";
        return false;
    }
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        error = "read error";
        return false;
    }
    if (data.empty()) {
        error = "file is empty";
        return false;
    }
    return CheckPng(data.data(), data.size(), info, error);
}

// The file of the same picture drawn twice as fine: "Data/ring.vqtex" -> "Data/ring@2x.vqtex".
std::string FinerFile(const std::string& file) {
    const size_t slash = file.rfind('/'), dot = file.rfind('.');
    const bool hasDot = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return hasDot ? file.substr(0, dot) + "@2x" + file.substr(dot) : file + "@2x";
}

// Where the window wants finer art: the picture of `file` drawn twice as fine, when there is
// one standing for the same texture (so draws and sizes stay the same). Otherwise, or when it
// is damaged (said in one line: the picture as the game addresses it is drawn instead),
// `file`, `data` and `info` stay as they are.
void TakeFinerPicture(std::string& file, std::vector<uint8_t>& data, PngInfo& info) {
    const std::string finer = FinerFile(file);
    std::vector<uint8_t> finerData;
    PngInfo finerInfo;
    std::string error;
    if (!std::filesystem::exists(finer)) return;  // an older data folder: no finer art
    if (!ReadPicture(finer, finerData, finerInfo, error)) {
        std::fprintf(stderr, "brisel: %s: %s; %s is drawn instead\n", finer.c_str(), error.c_str(),
                     file.c_str());
        return;
    }
    if (finerInfo.texWidth != info.texWidth || finerInfo.texHeight != info.texHeight) {
        std::fprintf(stderr,
                     "brisel: %s: stands for a texture of %u x %u, not %u x %u; %s is drawn instead\n",
                     finer.c_str(), finerInfo.texWidth, finerInfo.texHeight, info.texWidth, info.texHeight,
                     file.c_str());
        return;
    }
    file = finer;
    data = std::move(finerData);
    info = finerInfo;
}

bool WantsFinerArt() { return E().gpu && E().gpuCanvas.ArtScale() > 1; }

}  // namespace

const Image& TexImage(BriselTex* tex) {
    if (tex->decoding != nullptr) {
        std::shared_ptr<DecodeJob> job = tex->decoding;
        const int64_t start = MonotonicNs();
        TheLoader().Finish(*job);
        if (E().config.debug)
            std::fprintf(stderr, "brisel: %s: drawn after %.1f ms of decoding or waiting\n",
                         tex->name.c_str(), double(MonotonicNs() - start) / 1.0e6);
        if (!job->ok) Raise(job->code, job->error);  // stays failed: every later draw says so too
        if (job->picture == nullptr) job->picture = std::make_shared<Image>(std::move(job->image));
        tex->picture = job->picture;
        if (tex->width < 0) {  // rendered: the texture's size is known now
            tex->width = job->texWidth > 0 ? job->texWidth : tex->picture->width;
            tex->height = job->texHeight > 0 ? job->texHeight : tex->picture->height;
        }
        tex->decoding.reset();
        --job->holders;
    }
    return *tex->picture;
}

const Image& TexPicture(BriselTex* tex, double& sx, double& sy, double& sw, double& sh) {
    const Image& image = TexImage(tex);
    if (tex->width > 0 && (image.width != tex->width || image.height != tex->height)) {
        const double kx = double(image.width) / tex->width, ky = double(image.height) / tex->height;
        sx *= kx;
        sw *= kx;
        sy *= ky;
        sh *= ky;
    }
    return image;
}

BriselTex* LoadTexture(const char* name) {
    std::string file = DataPath(name);
    std::vector<uint8_t> data = ReadWholeFile(file);
    PngInfo info;
    std::string error;
    if (!CheckPng(data.data(), data.size(), info, error)) Raise(BRISEL_FAIL_LOAD, file + ": " + error);
    if (WantsFinerArt()) TakeFinerPicture(file, data, info);
    auto tex = std::make_unique<BriselTex>();
    tex->name = name;
    tex->file = file;
    tex->width = int(info.texWidth);  // what draws address; the picture may be stored smaller
    tex->height = int(info.texHeight);
    tex->fileSize = data.size();
    tex->fileCrc = uint32_t(libdeflate_crc32(0, data.data(), data.size()));
    const Key key = KeyOf(tex.get());
    std::erase_if(g_shared, [](const Shared& s) { return s.picture.expired() && s.job.expired(); });
    for (const Shared& s : g_shared)
        if (s.key == key) {
            tex->picture = s.picture.lock();
            if (tex->picture == nullptr) tex->decoding = s.job.lock();
            break;
        }
    if (tex->picture == nullptr && tex->decoding == nullptr)
        for (auto it = g_preloaded.begin(); it != g_preloaded.end(); ++it)
            if (it->key == key) {
                tex->decoding = std::move(it->job);
                g_preloaded.erase(it);
                break;
            }
    if (tex->picture == nullptr && tex->decoding == nullptr)
        for (auto it = g_kept.begin(); it != g_kept.end(); ++it)
            if (it->key == key) {
                tex->picture = std::move(it->picture);
                g_kept.erase(it);
                break;
            }
    if (tex->picture == nullptr && tex->decoding == nullptr) {
        auto job = std::make_shared<DecodeJob>();
        job->data = std::move(data);
        job->info = info;
        job->file = file;
        tex->decoding = job;
        TheLoader().Queue(job);
    }
    if (tex->decoding != nullptr) ++tex->decoding->holders;
    g_shared.push_back(Shared{key, tex->picture, tex->decoding});
    BriselTex* handle = tex.release();
    Register(handle, Kind::Tex);
    return handle;
}

BriselTex* QueueTexture(std::string name, RenderFn render) {
    auto tex = std::make_unique<BriselTex>();
    tex->name = std::move(name);
    tex->width = tex->height = -1;  // known once rendered
    auto job = std::make_shared<DecodeJob>();
    job->render = std::move(render);
    job->holders = 1;
    tex->decoding = job;
    TheLoader().Queue(job);
    BriselTex* handle = tex.release();
    Register(handle, Kind::Tex);
    return handle;
}

int TexWidth(BriselTex* tex) {
    if (tex->width < 0) TexImage(tex);
    return tex->width;
}

int TexHeight(BriselTex* tex) {
    TexWidth(tex);
    return tex->height;
}

void ForgetTexture(BriselTex* tex) {
    if (tex->decoding != nullptr) {
        if (--tex->decoding->holders == 0) TheLoader().Cancel(*tex->decoding);
        tex->decoding.reset();
        return;
    }
    // The last texture of a file: its picture is kept for the next scene.
    if (tex->file.empty() || tex->picture == nullptr || tex->picture.use_count() > 1) return;
    tex->picture->scaled.clear();  // copies at the old scene's sizes go; the picture stays
    g_kept.push_back(Kept{KeyOf(tex), E().step, std::move(tex->picture)});
}

void PreloadTextures(const std::string& listPath) {
    std::ifstream list(listPath);
    std::string line;
    while (std::getline(list, line)) {
        line = line.substr(0, line.find('#'));
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
        if (line.empty() || line.find('/') != std::string::npos) continue;
        std::string file = DataPath(line.c_str());
        std::vector<uint8_t> data;
        PngInfo info;
        std::string error;
        if (!ReadPicture(file, data, info, error)) continue;
        Key key{file, data.size(), uint32_t(libdeflate_crc32(0, data.data(), data.size()))};
        auto job = std::make_shared<DecodeJob>();
        job->data = std::move(data);
        job->info = info;
        job->file = file;
        TheLoader().Queue(job);
        g_preloaded.push_back(Preloaded{std::move(key), std::move(job)});
    }
}

void PreloadFinerTextures() {
    if (!WantsFinerArt()) return;
    for (Preloaded& p : g_preloaded) {
        std::string file = p.key.file;
        std::vector<uint8_t> data;
        PngInfo info = p.job->info;
        TakeFinerPicture(file, data, info);
        if (file == p.key.file) continue;
        TheLoader().Cancel(*p.job);
        p.key = Key{file, data.size(), uint32_t(libdeflate_crc32(0, data.data(), data.size()))};
        p.job = std::make_shared<DecodeJob>();
        p.job->data = std::move(data);
        p.job->info = info;
        p.job->file = file;
        TheLoader().Queue(p.job);
    }
}

void AgeTextureCache(int64_t step) {
    std::erase_if(g_kept, [&](const Kept& k) { return k.releasedAt < step; });
    for (Preloaded& p : g_preloaded) TheLoader().Cancel(*p.job);
    g_preloaded.clear();
}

void BeginStoppingTextureLoader() { TheLoader().RequestStop(); }

void StopTextureLoader() {
    TheLoader().Stop();
    g_kept.clear();
    g_shared.clear();
    g_preloaded.clear();
}

}  // namespace brisel
