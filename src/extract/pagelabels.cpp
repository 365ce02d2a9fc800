#include "extract/pagelabels.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "core/textrules.h"
#include "engine/document.h"
#include "extract/classlist.h"
#include "extract/rowtext.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

// Run in a script world of the program's own, where the page's scripts can
// reach neither its variables nor the console it writes to. %1 is the
// configuration as a JSON object: token, tag, prefix.
const QString LabelScript = uR"js(
(function (config) {
    'use strict';
    var MaxText = 200, LabelHeight = 16, Gap = 2, Slack = 2;
    var Colours = ['#c62828', '#1565c0', '#2e7d32', '#6a1b9a'];
    var Css = ':host { all: initial; }'
        + '.box { position: absolute; box-sizing: border-box; border: 2px solid; pointer-events: none; }'
        + '.box.hot { background: rgba(255, 193, 7, 0.3); }'
        + '.label { position: absolute; pointer-events: auto; cursor: pointer; box-sizing: border-box;'
        + ' height: 16px; padding: 0 4px; border-radius: 3px; color: #fff; white-space: nowrap;'
        + ' font: 12px/16px sans-serif; opacity: 0.9; }'
        + '.label:hover { opacity: 1; outline: 2px solid #000; }';

    if (window.__pagrionLabels)
        window.__pagrionLabels.stop();
    var root = document.documentElement;
    if (!root)
        return;

    var host = document.createElement('pagrion-labels');
    host.style.cssText = 'all: initial; position: absolute; left: 0; top: 0; width: 0; height: 0;'
        + ' overflow: visible; z-index: 2147483647; display: block;';
    var shadow = host.attachShadow({mode: 'closed'});
    try {
        var sheet = new CSSStyleSheet();
        sheet.replaceSync(Css);
        shadow.adoptedStyleSheets = [sheet];
    } catch (e) {
        var style = document.createElement('style');
        style.textContent = Css;
        shadow.appendChild(style);
    }
    var layer = document.createElement('div');
    shadow.appendChild(layer);

    var elements = document.getElementsByTagName(config.tag);
    var marks = [], reportedCount = -1, timer = 0, lastLayout = '';

    function send(message) {
        console.log(config.token + JSON.stringify(message));
    }
    function trimSpaces(text) {
        return text.replace(/^ +| +$/g, '');
    }
    function textOf(element) {
        return typeof element.innerText === 'string' ? element.innerText : element.textContent;
    }
    // The elements the analysis reads. A browser that runs scripts, as the
    // engines read pages, keeps what a noscript holds as text: elements
    // found there here, where scripts are off, are none of the page's.
    function analysed() {
        var list = [];
        for (var i = 0; i < elements.length; i++) {
            if (!elements[i].parentElement || !elements[i].parentElement.closest('noscript'))
                list.push(elements[i]);
        }
        return list;
    }
    // What the analysis shows first for the element: a table's first row,
    // its cells separated by "｜", or the element's own text.
    function firstCells(element) {
        if (!config.tables)
            return trimSpaces(textOf(element));
        var rows = element.rows || [];
        if (!rows.length)
            return '';
        var cells = [];
        for (var c = 0; c < rows[0].cells.length; c++)
            cells.push(trimSpaces(textOf(rows[0].cells[c])));
        return cells.join('｜');
    }
    function depthOf(element) {
        var depth = 0;
        for (var parent = element.parentElement; parent; parent = parent.parentElement) {
            if (parent.localName === config.tag)
                depth++;
        }
        return depth;
    }
    function makeMark(index) {
        var box = document.createElement('div'), label = document.createElement('div');
        box.className = 'box';
        label.className = 'label';
        label.textContent = config.prefix + index;
        label.addEventListener('click', function (event) {
            event.preventDefault();
            event.stopPropagation();
            send({kind: 'picked', index: index});
        });
        label.addEventListener('mouseenter', function () { box.classList.add('hot'); });
        label.addEventListener('mouseleave', function () { box.classList.remove('hot'); });
        ['mousedown', 'mouseup', 'dblclick'].forEach(function (type) {
            label.addEventListener(type, function (event) { event.stopPropagation(); });
        });
        layer.appendChild(box);
        layer.appendChild(label);
        return {box: box, label: label, first: '', colour: ''};
    }

    // Boxes in page coordinates, filed by bands of a label's height, so a
    // label is compared only with what lies across its own band.
    function Boxes() {
        this.bands = {};
    }
    Boxes.prototype.add = function (box) {
        for (var b = Math.floor(box.top / LabelHeight); b <= Math.floor((box.bottom - 1) / LabelHeight); b++)
            (this.bands[b] || (this.bands[b] = [])).push(box);
    };
    // The first box this one would cover. A line of text is taller than its
    // glyphs, so a label may reach a little into the lines above and below.
    Boxes.prototype.hit = function (box) {
        for (var b = Math.floor(box.top / LabelHeight); b <= Math.floor((box.bottom - 1) / LabelHeight); b++) {
            var band = this.bands[b] || [];
            for (var i = 0; i < band.length; i++) {
                var other = band[i];
                if (box.left < other.right && other.left < box.right && box.top < other.bottom - Slack
                    && other.top + Slack < box.bottom)
                    return other;
            }
        }
        return null;
    };
    // The lines a text node takes on the page, as boxes; none for blanks.
    var range = document.createRange();
    function linesOf(node, sx, sy) {
        var lines = [];
        if (!/\S/.test(node.data))
            return lines;
        range.selectNodeContents(node);
        var rects = range.getClientRects();
        for (var r = 0; r < rects.length; r++) {
            if (rects[r].width > 0)
                lines.push({left: rects[r].left + sx, right: rects[r].right + sx, top: rects[r].top + sy,
                            bottom: rects[r].bottom + sy});
        }
        return lines;
    }
    function eachLine(element, sx, sy, visit) {
        var walker = document.createTreeWalker(element, NodeFilter.SHOW_TEXT);
        for (var node = walker.nextNode(); node; node = walker.nextNode())
            linesOf(node, sx, sy).forEach(visit);
    }
    // The first and the last line of text in the element, found from either
    // end without reading what lies between.
    function firstLine(element, sx, sy) {
        var walker = document.createTreeWalker(element, NodeFilter.SHOW_TEXT);
        for (var node = walker.nextNode(); node; node = walker.nextNode()) {
            var lines = linesOf(node, sx, sy);
            if (lines.length)
                return lines[0];
        }
        return null;
    }
    function lastLine(element, sx, sy) {
        var end = element;
        while (end.lastChild)
            end = end.lastChild;
        var walker = document.createTreeWalker(element, NodeFilter.SHOW_TEXT);
        walker.currentNode = end;
        for (var node = end.nodeType === Node.TEXT_NODE ? end : walker.previousNode(); node;
             node = walker.previousNode()) {
            var lines = linesOf(node, sx, sy);
            if (lines.length)
                return lines[lines.length - 1];
        }
        return null;
    }
    function labelBox(left, top, width) {
        return {left: left, right: left + width, top: top, bottom: top + LabelHeight};
    }
    // Moves the box right past whatever it would cover.
    function slide(box, layers) {
        for (var tries = 0; tries < 50; tries++) {
            var hit = null;
            for (var l = 0; l < layers.length && !hit; l++)
                hit = layers[l].hit(box);
            if (!hit)
                break;
            box = labelBox(hit.right + Gap, box.top, box.right - box.left);
        }
        return box;
    }
    // A table's label sits above its top left corner, as those of nested
    // tables would otherwise share it. An element's sits on a line of its
    // text, after it: the first line, or the last, where the element has
    // room for it there; else before the element; else after the first line,
    // past whatever is in the way. So it never covers the text of an element.
    function place(rect, lines, width, texts, labels, sx, sy) {
        if (config.tables) {
            var above = rect.top + sy - LabelHeight;
            return slide(labelBox(rect.left + sx, above < 0 ? rect.top + sy : above, width), [labels]);
        }
        var free = function (box) { return !texts.hit(box) && !labels.hit(box); };
        var first = lines[0] || {left: rect.left + sx, right: rect.left + sx, top: rect.top + sy,
                                 bottom: rect.top + sy + Math.min(rect.height, LabelHeight)};
        var last = lines[1] || first;
        var middle = function (line) { return (line.top + line.bottom - LabelHeight) / 2; };
        var candidates = [labelBox(first.right + Gap, middle(first), width),
                          labelBox(last.right + Gap, middle(last), width)];
        for (var c = 0; c < candidates.length; c++) {
            if (candidates[c].right <= rect.right + sx && free(candidates[c]))
                return candidates[c];
        }
        var before = labelBox(rect.left + sx - Gap - width, middle(first), width);
        if (before.left >= 0 && free(before))
            return before;
        return slide(candidates[0], [texts, labels]);
    }

    function update(force) {
        if (!host.isConnected)
            root.appendChild(host);
        var items = analysed(), count = items.length, fresh = count !== reportedCount;
        // Nothing to move while the page keeps its size and its elements.
        var layout = [count, root.scrollWidth, root.scrollHeight, window.innerWidth].join();
        if (!fresh && !force && layout === lastLayout)
            return;
        lastLayout = layout;
        while (marks.length > count) {
            var gone = marks.pop();
            gone.box.remove();
            gone.label.remove();
        }
        while (marks.length < count)
            marks.push(makeMark(marks.length));

        // Read every box first and write after, so the page is laid out once.
        var sx = window.scrollX, sy = window.scrollY, rects = [], lines = [], widths = [];
        var texts = new Boxes(), labels = new Boxes(), walked = null;
        for (var i = 0; i < count; i++) {
            rects.push(items[i].getBoundingClientRect());
            if (fresh) {
                marks[i].first = firstCells(items[i]).slice(0, MaxText);
                marks[i].label.title = config.prefix + i + '\n' + marks[i].first;
                marks[i].colour = Colours[depthOf(items[i]) % Colours.length];
                marks[i].label.style.background = marks[i].colour;
            }
            if (config.tables)
                continue;
            lines.push([firstLine(items[i], sx, sy), lastLine(items[i], sx, sy)]);
            // Each line once: an element inside one walked already has its
            // lines filed.
            if (!walked || !walked.contains(items[i])) {
                walked = items[i];
                eachLine(items[i], sx, sy, function (line) { texts.add(line); });
            }
        }
        for (var w = 0; w < count; w++)
            widths.push(marks[w].label.offsetWidth);

        var reported = [];
        for (var k = 0; k < count; k++) {
            var rect = rects[k], mark = marks[k], shown = rect.width > 0 || rect.height > 0;
            mark.box.hidden = mark.label.hidden = !shown;
            var box = labelBox(rect.left + sx, rect.top + sy, widths[k]);
            if (shown) {
                box = place(rect, lines[k] || [], widths[k], texts, labels, sx, sy);
                labels.add(box);
                mark.box.style.cssText = 'left:' + (rect.left + sx) + 'px;top:' + (rect.top + sy) + 'px;width:'
                    + rect.width + 'px;height:' + rect.height + 'px;border-color:' + mark.colour;
                mark.label.style.left = box.left + 'px';
                mark.label.style.top = box.top + 'px';
            }
            reported.push({name: config.prefix + k, shown: shown, first: mark.first,
                           x: box.left - sx, y: box.top - sy, width: widths[k], height: LabelHeight});
        }
        if (fresh) {
            reportedCount = count;
            send({kind: 'labelled', labels: reported});
        }
    }

    function onResize() { update(true); }
    window.addEventListener('resize', onResize);
    // Pages change after they have loaded (images, scripts): follow them.
    timer = setInterval(function () { update(false); }, 1000);
    window.__pagrionLabels = {
        stop: function () {
            clearInterval(timer);
            window.removeEventListener('resize', onResize);
            host.remove();
            window.__pagrionLabels = null;
        }
    };
    update(true);
})(%1);
)js"_s;

} // namespace

PageLabeller::PageLabeller(QString token)
    : m_token(std::move(token))
{
}

void PageLabeller::setClassValue(const QString &classValue)
{
    const QString tag = classValue.toLower();
    m_tagName = tag == TableClass ? QString() : tag;
}

QString PageLabeller::labelName(int index) const
{
    return tableMode() ? elementName(index) : rowName(elementName(1), index);
}

qsizetype PageLabeller::analysedCount(const Document &document) const
{
    return tableMode() ? document.tables().size() : document.elementTexts(m_tagName).size();
}

QString PageLabeller::script() const
{
    // A name is a stem and the index; the page draws the stem and counts.
    QString prefix = labelName(0);
    prefix.chop(1);
    const QJsonObject config{
        {u"token"_s, m_token},
        {u"tables"_s, tableMode()},
        {u"tag"_s, tableMode() ? TableClass : m_tagName},
        {u"prefix"_s, prefix},
    };
    return LabelScript.arg(QString::fromUtf8(QJsonDocument(config).toJson(QJsonDocument::Compact)));
}

QString PageLabeller::removalScript()
{
    return u"if (window.__pagrionLabels) window.__pagrionLabels.stop();"_s;
}

std::optional<LabelReport> PageLabeller::read(const QString &consoleMessage) const
{
    if (m_token.isEmpty() || !consoleMessage.startsWith(m_token))
        return std::nullopt;
    const QJsonDocument json = QJsonDocument::fromJson(consoleMessage.mid(m_token.size()).toUtf8());
    const QJsonObject message = json.object();
    const QString kind = message.value(u"kind"_s).toString();
    LabelReport report;
    if (kind == u"picked") {
        report.kind = LabelReport::Kind::Picked;
        report.index = message.value(u"index"_s).toInt(-1);
        if (report.index < 0)
            return std::nullopt;
        return report;
    }
    if (kind != u"labelled")
        return std::nullopt;
    report.kind = LabelReport::Kind::Labelled;
    for (const QJsonValue &value : message.value(u"labels"_s).toArray()) {
        const QJsonObject label = value.toObject();
        report.labels.append({label.value(u"name"_s).toString(), label.value(u"shown"_s).toBool(),
                              label.value(u"first"_s).toString(),
                              QRectF(label.value(u"x"_s).toDouble(), label.value(u"y"_s).toDouble(),
                                     label.value(u"width"_s).toDouble(), label.value(u"height"_s).toDouble())});
    }
    return report;
}

QString addName(const QString &list, const QString &name)
{
    if (NameList(list).contains(name))
        return list;
    if (trimSpaces(list).isEmpty())
        return name;
    if (list.endsWith(CellSeparator))
        return list + name;
    return list + CellSeparator + name;
}

} // namespace pagrion
