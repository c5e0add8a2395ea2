#include "support/trace.hpp"

#include <sstream>
#include <stdexcept>

namespace grappix::test {

std::vector<TexDraw> TraceFrame::TexOf(const std::string& file) const {
    std::vector<TexDraw> out;
    for (const TexDraw& t : tex)
        if (t.file == file) out.push_back(t);
    return out;
}

bool TraceFrame::Plays(const std::string& file) const {
    for (const std::string& s : sounds)
        if (s.rfind("play " + file + " ", 0) == 0) return true;
    return false;
}

std::vector<TraceFrame> ParseTrace(const std::string& text) {
    std::vector<TraceFrame> frames(1);
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::string kind;
        ls >> kind;
        if (kind == "frame") {
            int64_t n = 0;
            ls >> n;
            if (n != static_cast<int64_t>(frames.size()))
                throw std::runtime_error("trace: frame " + std::to_string(n) + " out of order");
            frames.emplace_back();
            frames.back().step = n;
        } else if (kind == "tex") {
            TexDraw t{};
            // Texts rendered from a font are named "text:<text>", which may hold spaces: the
            // fifteen numbers are always the last fields of the line.
            std::vector<std::string> fields;
            std::string f;
            while (ls >> f) fields.push_back(f);
            if (fields.size() < 16) throw std::runtime_error("trace: short tex line: " + line);
            size_t first = fields.size() - 15;
            for (size_t i = 0; i < first; ++i) t.file += (i ? " " : "") + fields[i];
            double* v[] = {&t.sx, &t.sy, &t.sw,    &t.sh, &t.dx, &t.dy, &t.dw, &t.dh,
                           &t.cx, &t.cy, &t.angle, &t.r,  &t.g,  &t.b,  &t.a};
            for (size_t i = 0; i < 15; ++i) *v[i] = std::stod(fields[first + i]);
            frames.back().tex.push_back(t);
        } else if (kind == "rect") {
            RectDraw r{};
            ls >> r.x >> r.y >> r.w >> r.h >> r.r >> r.g >> r.b >> r.a;
            frames.back().rects.push_back(r);
        } else if (kind == "play" || kind == "stop") {
            frames.back().sounds.push_back(line);
        } else if (!kind.empty()) {
            throw std::runtime_error("trace: unknown line: " + line);
        }
    }
    return frames;
}

}  // namespace grappix::test
