#include "model/SiteLanguage.h"

#include <cctype>
#include <cstring>
#include <set>
#include <vector>

const TSiteLanguage CommonSiteLanguages[24] = {
    {"en", "English"},
    {"ar", "Arabic"},
    {"zh-CN", "Chinese (Simplified)"},
    {"zh-TW", "Chinese (Traditional)"},
    {"cs", "Czech"},
    {"da", "Danish"},
    {"nl", "Dutch"},
    {"fi", "Finnish"},
    {"fr", "French"},
    {"de", "German"},
    {"el", "Greek"},
    {"he", "Hebrew"},
    {"hu", "Hungarian"},
    {"it", "Italian"},
    {"ja", "Japanese"},
    {"ko", "Korean"},
    {"nb", "Norwegian"},
    {"pl", "Polish"},
    {"pt", "Portuguese"},
    {"pt-BR", "Portuguese (Brazil)"},
    {"ru", "Russian"},
    {"es", "Spanish"},
    {"sv", "Swedish"},
    {"tr", "Turkish"},
};

namespace {

// The fixed words of the Modern pages, one row per common language, in the order of
// CommonSiteLanguages.
const char* const ModernWords[24][5] = {
    {"Skip to content", "Page not found", "Back to the homepage", "Menu", "Read more"},
    {"انتقل إلى المحتوى", "الصفحة غير موجودة", "العودة إلى الصفحة الرئيسية", "القائمة",
     "اقرأ المزيد"},
    {"跳到内容", "找不到页面", "返回首页", "菜单", "阅读更多"},
    {"跳到內容", "找不到頁面", "返回首頁", "選單", "閱讀更多"},
    {"Přejít k obsahu", "Stránka nenalezena", "Zpět na úvodní stránku", "Menu", "Číst dál"},
    {"Gå til indhold", "Siden blev ikke fundet", "Tilbage til forsiden", "Menu", "Læs mere"},
    {"Naar de inhoud", "Pagina niet gevonden", "Terug naar de startpagina", "Menu", "Lees meer"},
    {"Siirry sisältöön", "Sivua ei löytynyt", "Takaisin etusivulle", "Valikko", "Lue lisää"},
    {"Aller au contenu", "Page introuvable", "Retour à l’accueil", "Menu", "Lire la suite"},
    {"Zum Inhalt springen", "Seite nicht gefunden", "Zurück zur Startseite", "Menü", "Weiterlesen"},
    {"Μετάβαση στο περιεχόμενο", "Η σελίδα δεν βρέθηκε", "Επιστροφή στην αρχική σελίδα", "Μενού",
     "Διαβάστε περισσότερα"},
    {"דלג לתוכן", "הדף לא נמצא", "חזרה לדף הבית", "תפריט", "קרא עוד"},
    {"Ugrás a tartalomra", "Az oldal nem található", "Vissza a kezdőlapra", "Menü", "Tovább"},
    {"Vai al contenuto", "Pagina non trovata", "Torna alla pagina iniziale", "Menu",
     "Continua a leggere"},
    {"コンテンツへスキップ", "ページが見つかりません", "ホームページに戻る", "メニュー",
     "続きを読む"},
    {"본문으로 건너뛰기", "페이지를 찾을 수 없습니다", "홈페이지로 돌아가기", "메뉴", "더 보기"},
    {"Hopp til innhold", "Fant ikke siden", "Tilbake til forsiden", "Meny", "Les mer"},
    {"Przejdź do treści", "Nie znaleziono strony", "Wróć do strony głównej", "Menu",
     "Czytaj więcej"},
    {"Saltar para o conteúdo", "Página não encontrada", "Voltar à página inicial", "Menu",
     "Ler mais"},
    {"Pular para o conteúdo", "Página não encontrada", "Voltar para a página inicial", "Menu",
     "Leia mais"},
    {"Перейти к содержимому", "Страница не найдена", "Вернуться на главную", "Меню",
     "Читать далее"},
    {"Saltar al contenido", "Página no encontrada", "Volver a la página de inicio", "Menú",
     "Leer más"},
    {"Hoppa till innehållet", "Sidan hittades inte", "Tillbaka till startsidan", "Meny", "Läs mer"},
    {"İçeriğe atla", "Sayfa bulunamadı", "Ana sayfaya dön", "Menü", "Devamını oku"},
};

bool AllOf(const std::string& s, int (*test)(int)) {
    for (unsigned char c : s)
        if (!test(c))
            return false;
    return !s.empty();
}
bool Alpha(const std::string& s) {
    return AllOf(s, [](int c) { return c < 128 && std::isalpha(c) ? 1 : 0; });
}
bool Digits(const std::string& s) {
    return AllOf(s, [](int c) { return c < 128 && std::isdigit(c) ? 1 : 0; });
}
bool Alnum(const std::string& s) {
    return AllOf(s, [](int c) { return c < 128 && std::isalnum(c) ? 1 : 0; });
}
std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}
std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}
std::string Title(std::string s) {
    s = Lower(s);
    if (!s.empty())
        s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
    return s;
}

// Appends "-" and the subtag (appending, not "-" + subtag, which g++ 12 warns of falsely).
void Append(std::string& tag, const std::string& subtag) {
    tag += '-';
    tag += subtag;
}

std::vector<std::string> Subtags(const std::string& tag) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t dash = tag.find('-', start);
        parts.push_back(tag.substr(start, dash == std::string::npos ? dash : dash - start));
        if (dash == std::string::npos)
            return parts;
        start = dash + 1;
    }
}

// Private use: "x" and one or more subtags of 1 to 8 letters or digits, from parts[i] on.
bool PrivateUse(const std::vector<std::string>& parts, std::size_t i, std::string& out) {
    if (i + 1 >= parts.size())
        return false;
    out += "x";
    for (++i; i < parts.size(); ++i) {
        if (parts[i].size() > 8 || !Alnum(parts[i]))
            return false;
        Append(out, Lower(parts[i]));
    }
    return true;
}

} // namespace

std::optional<std::string> NormalizeLanguageTag(const std::string& text) {
    std::string tag = text;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!tag.empty() && blank(tag.back()))
        tag.pop_back();
    std::size_t first = 0;
    while (first < tag.size() && blank(tag[first]))
        ++first;
    tag.erase(0, first);
    for (char& c : tag)
        if (c == '_')
            c = '-';
    if (tag.empty())
        return std::nullopt;
    const std::vector<std::string> parts = Subtags(tag);
    std::string out;
    std::size_t i = 0;
    if (Lower(parts[0]) == "x")
        return PrivateUse(parts, 0, out) ? std::optional<std::string>(out) : std::nullopt;

    // Language: 2 or 3 letters with up to three extended subtags of 3 letters, or 4 to 8.
    const std::string& language = parts[i];
    if (!Alpha(language) || language.size() < 2 || language.size() > 8)
        return std::nullopt;
    out = Lower(language);
    ++i;
    if (language.size() <= 3)
        for (int extlang = 0;
             extlang < 3 && i < parts.size() && parts[i].size() == 3 && Alpha(parts[i]);
             ++extlang, ++i)
            Append(out, Lower(parts[i]));
    if (i < parts.size() && parts[i].size() == 4 && Alpha(parts[i]))
        Append(out, Title(parts[i++]));
    if (i < parts.size() &&
        ((parts[i].size() == 2 && Alpha(parts[i])) || (parts[i].size() == 3 && Digits(parts[i]))))
        Append(out, Upper(parts[i++]));
    std::set<std::string> variants;
    while (i < parts.size()) {
        const std::string& part = parts[i];
        const bool variant =
            Alnum(part) &&
            ((part.size() >= 5 && part.size() <= 8) ||
             (part.size() == 4 && std::isdigit(static_cast<unsigned char>(part[0]))));
        if (!variant)
            break;
        if (!variants.insert(Lower(part)).second)
            return std::nullopt; // the same variant twice
        Append(out, Lower(part));
        ++i;
    }
    std::set<char> singletons;
    while (i < parts.size() && parts[i].size() == 1 && Alnum(parts[i]) && Lower(parts[i]) != "x") {
        const char singleton = Lower(parts[i])[0];
        if (!singletons.insert(singleton).second)
            return std::nullopt; // the same extension twice
        out += '-';
        out += singleton;
        std::size_t count = 0;
        for (++i;
             i < parts.size() && parts[i].size() >= 2 && parts[i].size() <= 8 && Alnum(parts[i]);
             ++i, ++count)
            Append(out, Lower(parts[i]));
        if (count == 0)
            return std::nullopt;
    }
    if (i < parts.size() && Lower(parts[i]) == "x") {
        out += "-";
        if (!PrivateUse(parts, i, out))
            return std::nullopt;
        i = parts.size();
    }
    if (i != parts.size())
        return std::nullopt;
    return out;
}

std::string SiteLanguageOfLocale(const std::string& localeName) {
    // language[_territory][.codeset][@modifier]
    std::string name = localeName;
    std::string modifier;
    if (const std::size_t at = name.find('@'); at != std::string::npos) {
        modifier = Lower(name.substr(at + 1));
        name.erase(at);
    }
    if (const std::size_t dot = name.find('.'); dot != std::string::npos)
        name.erase(dot);
    std::string language = name, region;
    if (const std::size_t underscore = name.find('_'); underscore != std::string::npos) {
        language = name.substr(0, underscore);
        region = name.substr(underscore + 1);
    }
    language = Lower(language);
    if (!Alpha(language) || language.size() < 2 || language.size() > 3)
        return "en"; // "C", "POSIX", empty, or nothing a tag can be made of
    std::string tag = language;
    if (modifier == "latin")
        tag += "-Latn";
    else if (modifier == "cyrillic")
        tag += "-Cyrl";
    std::string withRegion = language;
    Append(withRegion, Upper(region));
    for (const TSiteLanguage& common : CommonSiteLanguages)
        if (withRegion == common.Tag)
            return withRegion;
    // Chinese is written in two scripts: Taiwan and Hong Kong read the traditional one.
    if (language == "zh")
        return region == "TW" || region == "HK" || region == "MO" ? "zh-TW" : "zh-CN";
    return NormalizeLanguageTag(tag).value_or("en");
}

std::size_t CommonLanguageIndex(const std::string& tag) {
    const std::string wanted = NormalizeLanguageTag(tag).value_or("en");
    const std::string language = wanted.substr(0, wanted.find('-'));
    std::size_t ofLanguage = 0;
    for (std::size_t i = 0; i < std::size(CommonSiteLanguages); ++i) {
        const std::string common = CommonSiteLanguages[i].Tag;
        if (common == wanted)
            return i;
        if (ofLanguage == 0 && common.substr(0, common.find('-')) == language)
            ofLanguage = i;
    }
    return ofLanguage;
}

const char* const* ModernWordsFor(const std::string& tag) {
    return ModernWords[CommonLanguageIndex(tag)];
}
