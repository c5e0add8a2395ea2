#include "page.hpp"

#include <algorithm>
#include <cstdio>

namespace board {

namespace {

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:2em;background:#10141c;color:#e8e8e8}"
    "a{color:#7cc4ff}table{border-collapse:collapse;margin-bottom:2em}"
    "td,th{padding:.2em .8em;text-align:left}td.speed{text-align:right;font-weight:bold}"
    "h2{margin-top:1.5em}";

std::string Head(const std::string& title) {
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + EscapeHtml(title) +
           "</title><style>" + kStyle + "</style></head><body>\n";
}

std::string RunLink(const Entry& e) { return "/run/" + e.hash + "/" + ModeName(e.mode); }

}  // namespace

std::string EscapeHtml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                out += "&#xFFFD;";
            else
                out += c;
        }
    }
    return out;
}

std::string BoardPage(const std::array<std::vector<Entry>, kModes>& tops) {
    std::string html = Head("Grappix board") +
                       "<h1>Grappix board</h1>\n<p>Every run here was replayed from its input by the game "
                       "and verified check by check; the speed is the one the replay proves.</p>\n";
    for (int m = 0; m < kModes; ++m) {
        html += std::string("<h2 id=\"") + ModeName(m) + "\">" + ModeName(m) + "</h2>\n";
        const std::vector<Entry>& top = tops[static_cast<size_t>(m)];
        if (top.empty()) {
            html += "<p class=\"empty\">No runs yet.</p>\n";
            continue;
        }
        html += std::string("<table class=\"top\" data-mode=\"") + ModeName(m) +
                "\"><tr><th>#</th><th>name</th><th>speed</th><th>date</th><th>run</th></tr>\n";
        for (size_t i = 0; i < top.size(); ++i) {
            const Entry& e = top[i];
            html += "<tr><td>" + std::to_string(i + 1) + "</td><td class=\"name\">" + EscapeHtml(e.name) +
                    "</td><td class=\"speed\">" + std::to_string(e.speed) + "</td><td>" + EscapeHtml(e.date) +
                    "</td><td><a href=\"" + RunLink(e) + "\">plot</a> &middot; <a href=\"/replay/" + e.hash +
                    "\">watch</a></td></tr>\n";
        }
        html += "</table>\n";
    }
    return html + "</body></html>\n";
}

std::string RunPage(const Entry& e) {
    return Head("Grappix run by " + e.name) + "<p><a href=\"/\">&larr; the board</a></p>\n<h1>" +
           EscapeHtml(e.name) + ": " + std::to_string(e.speed) + " in " + ModeName(e.mode) + "</h1>\n<p>" +
           EscapeHtml(e.date) + ", verified by grappix " + EscapeHtml(e.version) + ". <a href=\"/replay/" +
           e.hash + "\">The replay</a> (<code>grappix --replay FILE</code> plays it).</p>\n" + PlotSvg(e) +
           "</body></html>\n";
}

std::string PlotSvg(const Entry& e) {
    constexpr int kW = 800, kH = 300, kLeft = 60, kBottom = 30, kTop = 10;
    const std::vector<int64_t>& plot = e.plot;
    int64_t top = std::max<int64_t>(1, e.speed);
    for (int64_t v : plot) top = std::max(top, v);
    const double xs =
        plot.size() > 1 ? static_cast<double>(kW - kLeft - 10) / static_cast<double>(plot.size() - 1) : 0;
    const double ys = static_cast<double>(kH - kBottom - kTop) / static_cast<double>(top);
    auto y = [&](int64_t v) { return kH - kBottom - static_cast<double>(v) * ys; };
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"plot\" width=\"" +
                      std::to_string(kW) + "\" height=\"" + std::to_string(kH) + "\" viewBox=\"0 0 " +
                      std::to_string(kW) + " " + std::to_string(kH) +
                      "\" role=\"img\" aria-label=\"speed over time\">";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"#1b2230\"/>";
    char buf[160];
    std::snprintf(
        buf, sizeof buf,
        "<line x1=\"%d\" y1=\"%.1f\" x2=\"%d\" y2=\"%.1f\" stroke=\"#ffb347\" stroke-dasharray=\"6 4\"/>",
        kLeft, y(e.speed), kW - 10, y(e.speed));
    svg += buf;
    svg += "<text x=\"4\" y=\"" + std::to_string(static_cast<int>(y(e.speed)) + 4) +
           "\" fill=\"#ffb347\" font-size=\"12\">" + std::to_string(e.speed) + "</text>";
    svg += "<text x=\"" + std::to_string(kLeft) + "\" y=\"" + std::to_string(kH - 8) +
           "\" fill=\"#aaa\" font-size=\"12\">0 s</text><text x=\"" + std::to_string(kW - 60) + "\" y=\"" +
           std::to_string(kH - 8) + "\" fill=\"#aaa\" font-size=\"12\">" +
           std::to_string(plot.empty() ? 0 : plot.size() - 1) + " s</text>";
    svg += "<polyline class=\"speed\" fill=\"none\" stroke=\"#7cc4ff\" stroke-width=\"2\" points=\"";
    for (size_t i = 0; i < plot.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%s%.1f,%.1f", i > 0 ? " " : "", kLeft + xs * static_cast<double>(i),
                      y(plot[i]));
        svg += buf;
    }
    return svg + "\"/></svg>\n";
}

}  // namespace board
