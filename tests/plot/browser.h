#pragma once

// Pictures rendered by a real browser (headless Chromium): a PNG of each picture, then a
// page of the tests that holds every picture inline with its PNG and measures both, the
// drawing's extent and the labels' real boxes through the browser's SVG layout, pixels
// through a canvas. Our pictures have no script; the measuring page has one.

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/run/program_runner.h"

namespace velk::testing {

// The browser to run: $VELK_CHROMIUM, else chromium or chromium-browser on the PATH.
inline std::optional<std::string> findChromium() {
  if (const char* given = std::getenv("VELK_CHROMIUM"); given != nullptr && *given != '\0') return given;
  for (const char* name : {"chromium", "chromium-browser"}) {
    const std::string command = std::string("command -v ") + name + " > /dev/null 2>&1";
    if (std::system(command.c_str()) == 0) return name;
  }
  return std::nullopt;
}

inline bool underCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string(ci) == "true";
}

// The flags of a run that touches no network, no profile but a fresh one, and works as root.
inline std::string chromiumCommand(const std::string& browser, const std::filesystem::path& profile) {
  return shellQuoted(browser) +
         " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
         " --disable-background-networking --disable-component-update --disable-sync"
         " --hide-scrollbars --user-data-dir=" + shellQuoted(profile.string());
}

inline std::string base64(const std::string& bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) value |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) value |= static_cast<unsigned char>(bytes[i + 2]);
    out += kDigits[(value >> 18) & 63];
    out += kDigits[(value >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(value >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[value & 63] : '=';
  }
  return out;
}

// What the measuring page found, one line per fact: "KIND PICTURE VALUES...".
struct Measurements {
  std::vector<std::vector<std::string>> lines;

  // The values of the line of `kind` (and `picture`, unless empty) whose first values
  // match `keys`.
  std::optional<std::vector<double>> find(const std::string& kind, const std::string& picture,
                                          const std::vector<std::string>& keys = {}) const {
    for (const auto& line : lines) {
      if (line.size() < 2 + keys.size() || line[0] != kind || line[1] != picture) continue;
      bool match = true;
      for (std::size_t k = 0; k < keys.size(); ++k) match = match && line[2 + k] == keys[k];
      if (!match) continue;
      std::vector<double> values;
      for (std::size_t k = 2 + keys.size(); k < line.size(); ++k) values.push_back(std::stod(line[k]));
      return values;
    }
    return std::nullopt;
  }
};

// The measuring script: for each picture, the extent of everything drawn but the
// background (in px of the picture), the pairwise overlaps of the labels' rendered boxes,
// and from its PNG the size, the non-white pixels, the non-white pixels of the outermost
// frame, and the coloured pixels inside each panel's data area (or the map's area); then
// the rendered advance widths of the printable ASCII characters at 100 px.
constexpr const char* kMeasuringScript = R"JS(
const lines = [];
const pending = [];
function add(...values) { lines.push(values.join(' ')); }
for (const div of document.querySelectorAll('div.picture')) {
  const name = div.dataset.name;
  const svg = div.querySelector('svg');
  const origin = svg.getBoundingClientRect();
  const background = svg.querySelector('rect');
  let l = Infinity, t = Infinity, r = -Infinity, b = -Infinity;
  for (const el of svg.querySelectorAll('line,polyline,polygon,circle,rect,text')) {
    if (el === background) continue;
    const box = el.getBoundingClientRect();
    l = Math.min(l, box.left - origin.left); t = Math.min(t, box.top - origin.top);
    r = Math.max(r, box.right - origin.left); b = Math.max(b, box.bottom - origin.top);
  }
  add('extent', name, l, t, r, b, svg.width.baseVal.value, svg.height.baseVal.value);
  const labels = [...svg.querySelectorAll('#labels text')].map(e => e.getBoundingClientRect());
  let overlaps = 0;
  for (let i = 0; i < labels.length; ++i)
    for (let j = i + 1; j < labels.length; ++j)
      if (labels[i].left < labels[j].right && labels[j].left < labels[i].right &&
          labels[i].top < labels[j].bottom && labels[j].top < labels[i].bottom) ++overlaps;
  add('labels', name, labels.length, overlaps);
  const regions = [];
  for (const g of svg.querySelectorAll('g[id^="panel-"]')) {
    const area = g.querySelector('rect');
    regions.push([g.id, +area.getAttribute('x'), +area.getAttribute('y'),
                  +area.getAttribute('width'), +area.getAttribute('height')]);
  }
  const stations = svg.querySelector('#stations');
  if (stations) {
    const box = stations.getBoundingClientRect();
    regions.push(['map', box.left - origin.left, box.top - origin.top, box.width, box.height]);
  }
  pending.push(new Promise(resolve => {
    const image = new Image();
    image.onload = () => {
      const canvas = document.createElement('canvas');
      canvas.width = image.width; canvas.height = image.height;
      const context = canvas.getContext('2d');
      context.drawImage(image, 0, 0);
      const data = context.getImageData(0, 0, image.width, image.height).data;
      const at = (x, y) => 4 * (y * image.width + x);
      const white = i => data[i] > 245 && data[i + 1] > 245 && data[i + 2] > 245;
      // Marks: dark, or clearly coloured (not a shade of grey).
      const mark = i => Math.max(data[i], data[i + 1], data[i + 2]) < 90 ||
          Math.max(data[i], data[i + 1], data[i + 2]) - Math.min(data[i], data[i + 1], data[i + 2]) > 90;
      let nonWhite = 0, frame = 0;
      for (let y = 0; y < image.height; ++y)
        for (let x = 0; x < image.width; ++x) {
          if (white(at(x, y))) continue;
          ++nonWhite;
          if (x === 0 || y === 0 || x === image.width - 1 || y === image.height - 1) ++frame;
        }
      add('png', name, image.width, image.height, nonWhite, frame);
      for (const [id, x0, y0, w, h] of regions) {
        let count = 0;
        for (let y = Math.ceil(y0) + 1; y < Math.floor(y0 + h) - 1; ++y)
          for (let x = Math.ceil(x0) + 1; x < Math.floor(x0 + w) - 1; ++x)
            if (mark(at(x, y))) ++count;
        add('marks', name, id, count);
      }
      resolve();
    };
    image.onerror = () => { add('png-error', name); resolve(); };
    image.src = 'data:image/png;base64,' + div.dataset.png;
  }));
}
const probe = document.getElementById('probe');
for (const weight of ['normal', 'bold']) {
  probe.setAttribute('font-weight', weight);
  for (let code = 32; code < 127; ++code) {
    probe.textContent = 'x' + String.fromCharCode(code) + 'x';
    const with_char = probe.getComputedTextLength();
    probe.textContent = 'xx';
    add('glyph', weight, code, with_char - probe.getComputedTextLength());
  }
}
Promise.all(pending).then(() => { document.getElementById('result').textContent = lines.join('\n'); });
)JS";

struct RenderedPicture {
  std::string name;  // no blanks
  std::filesystem::path svg;
  std::filesystem::path png;
};

// Renders every SVG to its PNG (all browsers at once), then measures them in one page.
inline Measurements renderAndMeasure(const std::string& browser, const ScratchFolder& scratch,
                                     const std::vector<RenderedPicture>& pictures,
                                     const std::string& font_family) {
  std::string shots;
  int profile = 0;
  for (const RenderedPicture& picture : pictures) {
    const std::string svg = readFile(picture.svg);
    auto number = [&](const std::string& attribute) {
      const std::size_t at = svg.find(attribute + "=\"");
      return std::stod(svg.substr(at + attribute.size() + 2));
    };
    shots += chromiumCommand(browser, scratch / ("profile" + std::to_string(++profile))) +
             " --window-size=" + std::to_string(static_cast<int>(std::ceil(number(" width")))) + "," +
             std::to_string(static_cast<int>(std::ceil(number(" height")))) + " --screenshot=" +
             shellQuoted(picture.png.string()) + " " + shellQuoted("file://" + picture.svg.string()) +
             " > /dev/null 2>&1 &\n";
  }
  writeFile(scratch / "shots.sh", shots + "wait\n");
  std::system(("sh " + shellQuoted((scratch / "shots.sh").string())).c_str());

  std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"></head><body>\n";
  for (const RenderedPicture& picture : pictures) {
    std::string svg = readFile(picture.svg);
    svg = svg.substr(svg.find("?>") + 2);  // no XML declaration inside HTML
    page += "<div class=\"picture\" data-name=\"" + picture.name + "\" data-png=\"" +
            base64(readFile(picture.png)) + "\">" + svg + "</div>\n";
  }
  page += "<svg width=\"10\" height=\"10\"><text id=\"probe\" font-size=\"100\" font-family=\"" +
          font_family + "\">x</text></svg>\n<pre id=\"result\">pending</pre>\n<script>" +
          kMeasuringScript + "</script>\n</body></html>\n";
  writeFile(scratch / "measure.html", page);
  const std::string command = chromiumCommand(browser, scratch / "profile-measure") +
                              " --virtual-time-budget=20000 --dump-dom " +
                              shellQuoted("file://" + (scratch / "measure.html").string()) +
                              " > " + shellQuoted((scratch / "dom.html").string()) + " 2> /dev/null";
  std::system(command.c_str());
  const std::string dom = readFile(scratch / "dom.html");
  Measurements measurements;
  const std::size_t start = dom.find("<pre id=\"result\">");
  const std::size_t end = dom.find("</pre>", start);
  if (start == std::string::npos || end == std::string::npos) return measurements;
  std::istringstream result(dom.substr(start + 17, end - start - 17));
  for (std::string line; std::getline(result, line);) {
    std::istringstream words(line);
    std::vector<std::string> fields;
    for (std::string word; words >> word;) fields.push_back(word);
    if (!fields.empty()) measurements.lines.push_back(fields);
  }
  return measurements;
}

}  // namespace velk::testing
