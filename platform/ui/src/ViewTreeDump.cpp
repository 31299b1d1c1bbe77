#include "Corral/ui/ViewTreeDump.h"

#include <algorithm>

#include "NumberText.h"

#include "Corral/ui/Color.h"
#include "Corral/ui/View.h"

namespace ui {

namespace {

void dumpLine(const View& view, int depth, std::string& out) {
    out.append(static_cast<std::size_t>(depth) * 2, ' ');
    out += view.className() + " " + describeRect(view.convertRect(view.bounds(), nullptr));
    if (auto color = view.backgroundColor()) out += " background " + color->description();
    if (view.isHidden()) out += " hidden";
    if (auto extra = view.debugAttributes(); !extra.empty()) out += " " + extra;
    out += "\n";
    for (const auto& subview : view.subviews()) dumpLine(*subview, depth + 1, out);
}

std::string xmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string number(double value) { return detail::numberText(value); }

void drawView(const View& view, std::string& out) {
    if (view.isHidden()) return;
    Rect r = view.convertRect(view.bounds(), nullptr);
    out += "  <rect x=\"" + number(r.minX()) + "\" y=\"" + number(r.minY()) + "\" width=\"" +
           number(r.width()) + "\" height=\"" + number(r.height()) + "\"";
    if (auto color = view.backgroundColor()) {
        out += " fill=\"" + color->hexString() + "\" fill-opacity=\"" +
               number(std::clamp(color->alpha(), 0.0, 1.0)) + "\"";
    } else {
        out += " fill=\"none\"";
    }
    out += " stroke=\"#808080\" stroke-width=\"1\"><title>" + xmlEscaped(view.className());
    if (auto extra = view.debugAttributes(); !extra.empty()) out += " " + xmlEscaped(extra);
    out += "</title></rect>\n";
    for (const auto& subview : view.subviews()) drawView(*subview, out);
}

}  // namespace

std::string dumpViewTree(const View& root) {
    std::string out;
    dumpLine(root, 0, out);
    return out;
}

std::string svgForViewTree(const View& root) {
    Rect box = root.convertRect(root.bounds(), nullptr);
    std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(box.width()) +
                      "\" height=\"" + number(box.height()) + "\" viewBox=\"" + number(box.minX()) +
                      " " + number(box.minY()) + " " + number(box.width()) + " " +
                      number(box.height()) + "\">\n";
    drawView(root, out);
    out += "</svg>\n";
    return out;
}

}  // namespace ui
