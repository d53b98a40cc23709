#include "settings/XmlNode.h"

#include <stdio.h>
#include <stdlib.h>

namespace {

bool IsTextKind(int kind)
{
    return kind == 1 || kind == 8 || (kind >= 11 && kind <= 16);
}

// The name of a tag's text: up to the first blank, or the whole text.
CString TagName(const CString& tag)
{
    int blank = tag.Find(' ');
    return blank < 0 ? tag : tag.Left(blank);
}

// One level of entity decoding; "&amp;" last, so "&amp;lt;" gives "&lt;".
CString Unescape(const CString& text)
{
    if (text.FindOneOf("\"'<>") >= 0)
        return text;   // markup (nested elements) stays as it is
    CString out = text;
    out.Replace("&lt;", "<");
    out.Replace("&gt;", ">");
    out.Replace("&quot;", "\"");
    out.Replace("&apos;", "'");
    out.Replace("&amp;", "&");
    return out;
}

}  // namespace

XmlNode::XmlNode()
    : m_userValue(0), m_openStart(-1), m_openEnd(-1), m_closeStart(-1), m_closeEnd(-1)
{
    ResetFormat();
}

XmlNode::XmlNode(const CString& text)
    : m_text(text), m_userValue(0), m_openStart(-1), m_openEnd(-1), m_closeStart(-1), m_closeEnd(-1)
{
    ResetFormat();
}

XmlNode::XmlNode(LPCSTR text)
    : m_text(text ? text : ""), m_userValue(0), m_openStart(-1), m_openEnd(-1), m_closeStart(-1), m_closeEnd(-1)
{
    ResetFormat();
}

XmlNode::XmlNode(const XmlNode& other)
{
    *this = other;
}

XmlNode& XmlNode::operator=(const XmlNode& other)
{
    m_text = other.m_text;
    m_userValue = other.m_userValue;
    m_openStart = other.m_openStart;
    m_openEnd = other.m_openEnd;
    m_closeStart = other.m_closeStart;
    m_closeEnd = other.m_closeEnd;
    m_precision = other.m_precision;
    m_separators = other.m_separators;
    return *this;
}

void XmlNode::ResetFormat()
{
    m_precision = 2;
    m_separators = "< >";
}

void XmlNode::WriteOpenTag(LPCSTR name)
{
    m_text += "<";
    m_text += name;
    m_text += ">\n";
}

void XmlNode::WriteCloseTag(LPCSTR name)
{
    m_text += "</";
    m_text += name;
    m_text += ">\n";
}

// Text values are escaped so that a value holding markup characters reads back
// unchanged; text without & < > " ' is written exactly as given.
CString XmlNode::Escape(LPCSTR text)
{
    CString out;
    for (const char* p = text ? text : ""; *p; ++p) {
        switch (*p) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += *p; break;
        }
    }
    return out;
}

void XmlNode::AppendValueLine(LPCSTR name, const CString& value)
{
    m_text += "<";
    m_text += name;
    m_text += ">";
    m_text += value;
    m_text += "</";
    m_text += name;
    m_text += ">\n";
}

BOOL XmlNode::WriteValue(LPCSTR name, int kind)
{
    if (kind != 0)
        return FALSE;
    AppendValueLine(name, CString());
    return TRUE;
}

BOOL XmlNode::WriteValue(LPCSTR name, int kind, LPCSTR value)
{
    if (kind == 0)
        return WriteValue(name, kind);
    if (!IsTextKind(kind))
        return FALSE;
    AppendValueLine(name, Escape(value));
    return TRUE;
}

BOOL XmlNode::WriteNumeric(LPCSTR name, int kind, LONGLONG integer, double real)
{
    CString value;
    switch (kind) {
    case 0:
        break;
    case 2: case 3: case 10:
        value.Format("%d", (int)integer);
        break;
    case 4: case 6:
        value.Format("%u", (unsigned int)integer);
        break;
    case 5:
        value.Format("0x%X", (unsigned int)integer);
        break;
    case 7: {
        CString format;
        if (m_precision < 0)
            format = "%0.2f";
        else
            format.Format("%%0.%df", m_precision);
        value.Format(format.GetString(), real);
        break;
    }
    case 9:
        value.Format("0x%08X", (unsigned int)integer);
        break;
    case 17:
        value.Format("%I64d", integer);
        break;
    default:
        return FALSE;   // text kinds need a text; anything else is unknown
    }
    AppendValueLine(name, value);
    return TRUE;
}

BOOL XmlNode::WriteFont(LPCSTR name, const LOGFONTA& font, int displayFlags)
{
    WriteOpenTag(name);
    BOOL ok = WriteValue("Font.DisplayFlags", 2, displayFlags)
        && WriteValue("Font.Height", 2, (int)font.lfHeight)
        && WriteValue("Font.Width", 2, (int)font.lfWidth)
        && WriteValue("Font.Escapement", 2, (int)font.lfEscapement)
        && WriteValue("Font.Orientation", 2, (int)font.lfOrientation)
        && WriteValue("Font.Weight", 2, (int)font.lfWeight)
        && WriteValue("Font.Italic", 6, (unsigned int)font.lfItalic)
        && WriteValue("Font.Underline", 6, (unsigned int)font.lfUnderline)
        && WriteValue("Font.StrikeOut", 6, (unsigned int)font.lfStrikeOut)
        && WriteValue("Font.CharSet", 6, (unsigned int)font.lfCharSet)
        && WriteValue("Font.OutPrecision", 6, (unsigned int)font.lfOutPrecision)
        && WriteValue("Font.ClipPrecision", 6, (unsigned int)font.lfClipPrecision)
        && WriteValue("Font.Quality", 6, (unsigned int)font.lfQuality)
        && WriteValue("Font.PitchAndFamily", 6, (unsigned int)font.lfPitchAndFamily);
    if (!ok)
        return FALSE;
    // The face is copied out first: LOGFONT does not promise a terminating zero.
    char face[LF_FACESIZE + 1];
    memcpy(face, font.lfFaceName, LF_FACESIZE);
    face[LF_FACESIZE] = 0;
    if (!WriteValue("Font.Face", 1, face))
        return FALSE;
    WriteCloseTag(name);
    return TRUE;
}

BOOL XmlNode::WriteFontElement(LPCSTR name, const LOGFONTA& font)
{
    return WriteFont(name, font, 1);
}

BOOL XmlNode::FindElement(LPCSTR name, XmlNode& result, int& position)
{
    if (!name || !*name)
        return FALSE;
    CString wanted(name);
    if (wanted[0] == '<')
        wanted = wanted.Mid(1);
    if (!wanted.IsEmpty() && wanted[wanted.GetLength() - 1] == '>')
        wanted = wanted.Left(wanted.GetLength() - 1);

    const int entry = position;
    m_openStart = m_openEnd = m_closeStart = m_closeEnd = -1;
    int depth = 0;
    int pos = position < 0 ? 0 : position;
    for (;;) {
        int lt = m_text.Find('<', pos);
        if (lt < 0)
            break;
        int gt = m_text.Find('>', lt);
        if (gt < 0)
            break;
        CString tag = m_text.Mid(lt + 1, gt - lt - 1);
        bool closing = !tag.IsEmpty() && tag[0] == '/';
        if (depth == 0) {
            if (!closing && TagName(tag) == wanted) {
                depth = 1;
                m_openStart = lt;
                m_openEnd = gt;
            }
        } else if (!closing) {
            if (TagName(tag) == wanted)
                ++depth;
        } else if (tag.Mid(1) == wanted) {
            if (--depth == 0) {
                m_closeStart = lt;
                m_closeEnd = gt;
                XmlNode found(Unescape(m_text.Mid(m_openEnd + 1, m_closeStart - m_openEnd - 1)));
                result = found;
                position = gt;
                return TRUE;
            }
        }
        pos = gt + 1;
    }
    position = entry;
    return FALSE;
}

BOOL XmlNode::ReadInt32(LPCSTR name, void* value, int& position, int kind)
{
    const char* format;
    switch (kind) {
    case 2: case 3: case 6: case 10: format = "%d"; break;
    case 4: format = "%u"; break;
    case 5: case 9: format = "%x"; break;
    default: return FALSE;
    }
    XmlNode element;
    if (!FindElement(name, element, position))
        return FALSE;
    unsigned int read = 0;   // %d, %u and %x all store 32 bits
    if (format[1] == 'd') {
        // Decimal as "%d", but wrapping to 32 bits like the writer's "%u", so
        // that a kind 6 value above 2^31 reads back as written.
        const char* text = element.m_text.GetString();
        char* end = NULL;
        long long wide = strtoll(text, &end, 10);
        if (end == text)
            return FALSE;
        read = (unsigned int)wide;
    } else if (sscanf(element.m_text.GetString(), format, &read) != 1) {
        return FALSE;
    }
    memcpy(value, &read, sizeof(read));
    return TRUE;
}

BOOL XmlNode::ReadNumber(LPCSTR name, int& value, int& position, int kind)
{
    return ReadInt32(name, &value, position, kind);
}

BOOL XmlNode::ReadNumber(LPCSTR name, unsigned int& value, int& position, int kind)
{
    return ReadInt32(name, &value, position, kind);
}

BOOL XmlNode::ReadNumber(LPCSTR name, long& value, int& position, int kind)
{
    static_assert(sizeof(long) == 4, "LONG is 32 bits on Windows");
    return ReadInt32(name, &value, position, kind);
}

BOOL XmlNode::ReadNumber(LPCSTR name, unsigned long& value, int& position, int kind)
{
    return ReadInt32(name, &value, position, kind);
}

BOOL XmlNode::ReadFloat(LPCSTR name, float& value, int& position)
{
    XmlNode element;
    if (!FindElement(name, element, position))
        return FALSE;
    float read = 0;
    if (sscanf(element.m_text.GetString(), "%f", &read) != 1)
        return FALSE;
    value = read;
    return TRUE;
}

BOOL XmlNode::ReadFont(int& position, LPCSTR name, LOGFONTA& font, int& displayFlags)
{
    XmlNode element;
    if (!FindElement(name, element, position))
        return FALSE;
    memset(&font, 0, sizeof(font));
    int inner = 0;
    // A missing or unreadable element leaves its field 0 and the inner position where it was.
    auto readInt = [&](LPCSTR field, int& out) {
        int at = inner;
        int v = 0;
        if (element.ReadNumber(field, v, at, 2)) {
            out = v;
            inner = at;
        }
    };
    auto readLong = [&](LPCSTR field, LONG& out) {
        int v = 0;
        readInt(field, v);
        out = v;
    };
    auto readByte = [&](LPCSTR field, BYTE& out) {
        int v = 0;
        readInt(field, v);
        out = (BYTE)v;
    };
    readInt("Font.DisplayFlags", displayFlags);
    readLong("Font.Height", font.lfHeight);
    readLong("Font.Width", font.lfWidth);
    readLong("Font.Escapement", font.lfEscapement);
    readLong("Font.Orientation", font.lfOrientation);
    readLong("Font.Weight", font.lfWeight);
    readByte("Font.Italic", font.lfItalic);
    readByte("Font.Underline", font.lfUnderline);
    readByte("Font.StrikeOut", font.lfStrikeOut);
    readByte("Font.CharSet", font.lfCharSet);
    readByte("Font.OutPrecision", font.lfOutPrecision);
    readByte("Font.ClipPrecision", font.lfClipPrecision);
    readByte("Font.Quality", font.lfQuality);
    readByte("Font.PitchAndFamily", font.lfPitchAndFamily);
    XmlNode face;
    int at = inner;
    if (element.FindElement("Font.Face", face, at)) {
        lstrcpynA(font.lfFaceName, face.m_text.GetString(), LF_FACESIZE);
        font.lfFaceName[LF_FACESIZE - 1] = 0;
    }
    return TRUE;
}

BOOL XmlNode::FindAttribute(LPCSTR name, CString& value, int& position)
{
    if (!name || !*name)
        return FALSE;
    const int entry = position;
    int at = m_text.Find(name, position < 0 ? 0 : position);
    if (at < 0)
        return FALSE;
    int eq = m_text.Find('=', at + (int)strlen(name));
    if (eq < 0)
        return FALSE;
    int p = eq + 1;
    while (p < m_text.GetLength() && (m_text[p] == ' ' || m_text[p] == '\t'))
        ++p;
    if (p >= m_text.GetLength() || (m_text[p] != '"' && m_text[p] != '\'')) {
        position = entry;
        return FALSE;
    }
    int close = m_text.Find(m_text[p], p + 1);
    if (close < 0) {
        position = entry;
        return FALSE;
    }
    value = m_text.Mid(p + 1, close - p - 1);
    m_closeStart = p;
    m_closeEnd = close;
    position = close;
    return TRUE;
}
