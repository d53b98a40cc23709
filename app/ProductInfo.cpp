#include "app/ProductInfo.h"

#include <stdio.h>

const char CProductInfo::kRedirectAddress[] = "https://redirect.kestravon.example/go";

namespace {

// The interface languages the redirect page knows; the others get the
// product's own language, simplified Chinese.
struct Language {
    LANGID id;
    const char* code;
};
const Language kLanguages[] = {
    { MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), "chs" },
    { MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SINGAPORE), "chs" },
    { MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL), "cht" },
    { MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_HONGKONG), "cht" },
    { MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), "enu" },
    { MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK), "enu" },
    { MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), "deu" },
    { MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), "jpn" },
};
const char kDefaultLanguage[] = "chs";

CString LanguageKey(LANGID id)
{
    char key[8];
    snprintf(key, sizeof(key), "%04x", (unsigned)id);
    return key;
}

}  // namespace

CProductInfo::CProductInfo(CMapStringToString& languages)
{
    Fill(languages, ::GetUserDefaultLangID());
}

CProductInfo::CProductInfo(CMapStringToString& languages, LANGID langId)
{
    Fill(languages, langId);
}

void CProductInfo::Fill(CMapStringToString& languages, LANGID langId)
{
    m_productName = "Skorvale Recorder";
    m_productCode = "SkorvaleRecorder";
    m_version = "3.0";
    for (const Language& l : kLanguages)
        languages.SetAt(LanguageKey(l.id), l.code);
    CString code;
    m_language = languages.Lookup(LanguageKey(langId), code) ? code : CString(kDefaultLanguage);
}

CString CProductInfo::EncodeQueryValue(LPCSTR value)
{
    static const char kHex[] = "0123456789ABCDEF";
    CString out;
    for (const unsigned char* p = (const unsigned char*)(value ? value : ""); *p; ++p) {
        const unsigned char c = *p;
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '.' || c == '~') {
            out += (char)c;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

CString CProductInfo::GetWebLink(LPCSTR target, LPCSTR targetParam) const
{
    CString link(kRedirectAddress);
    link += "?target=" + EncodeQueryValue(target);
    if (targetParam != NULL)
        link += "&targetparam=" + EncodeQueryValue(targetParam);
    link += "&product=" + EncodeQueryValue(m_productCode);
    link += "&lang=" + EncodeQueryValue(m_language);
    link += "&verinst=" + EncodeQueryValue(m_version);
    return link;
}
