#include "overlays/OverlayXml.h"

#include <stdio.h>
#include <stdlib.h>

namespace overlayxml {

BOOL ReadInt(XmlNode& node, LPCSTR name, int& value, int position)
{
    int at = position;
    int read = 0;
    if (!node.ReadNumber(name, read, at, 2))
        return FALSE;
    value = read;
    return TRUE;
}

BOOL ReadHex(XmlNode& node, LPCSTR name, COLORREF& value, int position)
{
    int at = position;
    unsigned long read = 0;
    if (!node.ReadNumber(name, read, at, 9))
        return FALSE;
    value = read;
    return TRUE;
}

BOOL ReadFloat(XmlNode& node, LPCSTR name, float& value, int position)
{
    int at = position;
    float read = 0;
    if (!node.ReadFloat(name, read, at))
        return FALSE;
    value = read;
    return TRUE;
}

BOOL ReadText(XmlNode& node, LPCSTR name, CString& value, int position)
{
    int at = position;
    XmlNode element;
    if (!node.FindElement(name, element, at))
        return FALSE;
    value = element.m_text;
    return TRUE;
}

BOOL ReadTime(XmlNode& node, LPCSTR name, LONGLONG& value, int position)
{
    CString text;
    if (!ReadText(node, name, text, position))
        return FALSE;
    const char* begin = text.GetString();
    char* end = NULL;
    const long long read = strtoll(begin, &end, 10);
    if (end == begin)
        return FALSE;
    value = read;
    return TRUE;
}

BOOL ReadHexSpaced(XmlNode& node, LPCSTR name, COLORREF& value, int position)
{
    CString open = CString("<") + name + ">";
    CString close = CString("</") + name + ">";
    const int start = node.m_text.Find(open.GetString(), position < 0 ? 0 : position);
    if (start < 0)
        return FALSE;
    const int valueStart = start + open.GetLength();
    const int end = node.m_text.Find(close.GetString(), valueStart);
    if (end < 0)
        return FALSE;
    CString text = node.m_text.Mid(valueStart, end - valueStart);
    unsigned int read = 0;
    if (sscanf(text.GetString(), "%x", &read) != 1)
        return FALSE;
    value = read;
    return TRUE;
}

void WriteTime(XmlNode& node, LPCSTR name, LONGLONG value)
{
    CString text;
    text.Format("%I64d", value);
    node.WriteValue(name, 1, text);
}

int Bound(int value, int low, int high)
{
    return value < low ? low : (value > high ? high : value);
}

float Bound(float value, float low, float high)
{
    if (!(value >= low))
        return low;
    return value > high ? high : value;
}

LONGLONG Bound(LONGLONG value, LONGLONG low, LONGLONG high)
{
    return value < low ? low : (value > high ? high : value);
}

}  // namespace overlayxml
