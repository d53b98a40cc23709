#pragma once
// What the help and web links say about the product: its name, its code, the
// installed version and the language of the user interface. Web links go
// through the maker's redirect page, which picks the page from the query
// fields target, targetparam, product, lang and verinst. Made once, with the
// program's process-wide objects; read-only afterwards.
#include "framework/AfxPlatform.h"
#include "framework/Collections.h"
#include "framework/String.h"

class CProductInfo {
public:
    // Fills `languages` (language id as four hex digits, lower case, to the
    // redirect page's language code) and the information, with the language
    // of the user's interface.
    explicit CProductInfo(CMapStringToString& languages);
    // As above for the language `langId` (tests).
    CProductInfo(CMapStringToString& languages, LANGID langId);

    const CString& GetProductName() const { return m_productName; }
    const CString& GetProductCode() const { return m_productCode; }
    const CString& GetVersion() const { return m_version; }
    const CString& GetLanguage() const { return m_language; }

    // The redirect page's address with the query fields; `targetParam` may
    // be null. Every value is percent-encoded (its bytes as they are).
    CString GetWebLink(LPCSTR target, LPCSTR targetParam = NULL) const;
    // A query value: letters, digits and "-_.~" stay, every other byte
    // becomes %XX.
    static CString EncodeQueryValue(LPCSTR value);

    static const char kRedirectAddress[];

private:
    void Fill(CMapStringToString& languages, LANGID langId);

    CString m_productName;
    CString m_productCode;
    CString m_version;
    CString m_language;
};
