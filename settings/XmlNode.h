#pragma once
#include "framework/AfxPlatform.h"
#include "framework/String.h"

// XML property text: a line-oriented list of elements, one per line, written
// by appending to a text buffer and read back by finding elements by name.
// It is not a general XML parser. The same object is the buffer being written
// and the text being searched. Copyable by value; one thread per object.
//
// Value kinds of WriteValue and ReadNumber:
//   0 empty element; 1, 8, 11..16 text; 2, 3, 10 signed decimal;
//   4, 6 unsigned decimal; 5 "0x%X"; 7 floating point with the node's
//   precision; 9 "0x%08X"; 17 64-bit signed decimal.
class XmlNode {
public:
    enum { kMaxKind = 17 };

    XmlNode();
    explicit XmlNode(const CString& text);
    explicit XmlNode(LPCSTR text);
    XmlNode(const XmlNode& other);
    XmlNode& operator=(const XmlNode& other);

    // Back to precision 2 and the separator text "< >".
    void ResetFormat();

    void WriteOpenTag(LPCSTR name);
    void WriteCloseTag(LPCSTR name);

    // Appends "<name>value</name>\n". The overload is chosen by the C++ type
    // of the value; the kind chooses the text. False (and nothing written) for
    // a kind outside 0..17, or a text kind given a number.
    BOOL WriteValue(LPCSTR name, int kind);
    BOOL WriteValue(LPCSTR name, int kind, LPCSTR value);
    BOOL WriteValue(LPCSTR name, int kind, const CString& value) { return WriteValue(name, kind, value.GetString()); }
    BOOL WriteValue(LPCSTR name, int kind, int value) { return WriteNumeric(name, kind, value, value); }
    BOOL WriteValue(LPCSTR name, int kind, long value) { return WriteNumeric(name, kind, value, value); }
    BOOL WriteValue(LPCSTR name, int kind, unsigned int value) { return WriteNumeric(name, kind, value, value); }
    BOOL WriteValue(LPCSTR name, int kind, unsigned long value) { return WriteNumeric(name, kind, value, value); }
    BOOL WriteValue(LPCSTR name, int kind, LONGLONG value) { return WriteNumeric(name, kind, value, (double)value); }
    BOOL WriteValue(LPCSTR name, int kind, double value) { return WriteNumeric(name, kind, (LONGLONG)value, value); }
    BOOL WriteValue(LPCSTR name, int kind, float value) { return WriteValue(name, kind, (double)value); }

    BOOL WriteFont(LPCSTR name, const LOGFONTA& font, int displayFlags);
    BOOL WriteFontElement(LPCSTR name, const LOGFONTA& font);

    BOOL FindElement(LPCSTR name, XmlNode& result, int& position);
    BOOL ReadNumber(LPCSTR name, int& value, int& position, int kind);
    BOOL ReadNumber(LPCSTR name, unsigned int& value, int& position, int kind);
    BOOL ReadNumber(LPCSTR name, long& value, int& position, int kind);
    BOOL ReadNumber(LPCSTR name, unsigned long& value, int& position, int kind);
    BOOL ReadFloat(LPCSTR name, float& value, int& position);
    BOOL ReadFont(int& position, LPCSTR name, LOGFONTA& font, int& displayFlags);
    BOOL FindAttribute(LPCSTR name, CString& value, int& position);

    // The five XML entities for the characters & < > " '.
    static CString Escape(LPCSTR text);

    CString m_text;
    int m_userValue;        // copied with the node; not used by these operations
    int m_openStart;        // "<" of the last found opening tag, or of the attribute's opening quote
    int m_openEnd;          // ">" of that opening tag
    int m_closeStart;       // "<" of its closing tag; the attribute value's opening quote
    int m_closeEnd;         // ">" of its closing tag; the attribute value's closing quote
    int m_precision;        // decimals of floating-point values
    CString m_separators;   // "< >" after construction; for the callers

private:
    BOOL WriteNumeric(LPCSTR name, int kind, LONGLONG integer, double real);
    BOOL ReadInt32(LPCSTR name, void* value, int& position, int kind);
    void AppendValueLine(LPCSTR name, const CString& value);
};
