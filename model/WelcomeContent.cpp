#include "model/WelcomeContent.h"

#include "model/CProject.h"
#include "model/ColumnInUse.h"
#include "model/ProjectEditor.h"
#include "model/SiteLanguage.h"

// In the order of CommonSiteLanguages. Each opening ends where the list of steps begins.
const TWelcomeWords WelcomeWords[24] = {
    {"en",
     "Welcome",
     "Welcome to your new site",
     "This page is here so that your site is never empty. Change it or remove it whenever you "
     "like. What to do next:",
     {"**Add pages**: write what your visitors should know, one page at a time.",
      "**Pick a look**: choose the colours, fonts and layout that suit your site.",
      "**Publish**: when you are happy with it, put the site on your web server."}},
    {"ar",
     "مرحبًا",
     "مرحبًا بك في موقعك الجديد",
     "هذه الصفحة موجودة حتى لا يكون موقعك فارغًا أبدًا. غيّرها أو احذفها متى شئت. ما الخطوة "
     "التالية:",
     {"**أضف صفحات**: اكتب ما يجب أن يعرفه زوارك، صفحةً بعد صفحة.",
      "**اختر مظهرًا**: اختر الألوان والخطوط والتخطيط التي تناسب موقعك.",
      "**انشر**: عندما تكون راضيًا، ارفع الموقع إلى خادم الويب الخاص بك."}},
    {"zh-CN",
     "欢迎",
     "欢迎来到您的新网站",
     "这个页面让您的网站从一开始就不是空的。您可以随时修改或删除它。接下来可以这样做：",
     {"**添加页面**：一页一页地写下访客需要了解的内容。",
      "**选择外观**：选择适合您网站的颜色、字体和布局。",
      "**发布**：满意之后，把网站上传到您的 Web 服务器。"}},
    {"zh-TW",
     "歡迎",
     "歡迎來到您的新網站",
     "這個頁面讓您的網站從一開始就不是空的。您可以隨時修改或刪除它。接下來可以這樣做：",
     {"**新增頁面**：一頁一頁寫下訪客需要知道的內容。",
      "**選擇外觀**：選擇適合您網站的顏色、字型和版面。",
      "**發佈**：滿意之後，把網站上傳到您的網頁伺服器。"}},
    {"cs",
     "Vítejte",
     "Vítejte na svém novém webu",
     "Tato stránka je tu proto, aby váš web nikdy nebyl prázdný. Změňte ji nebo ji smažte, "
     "kdykoli budete chtít. Co dál:",
     {"**Přidejte stránky**: napište stránku po stránce, co mají vaši návštěvníci vědět.",
      "**Vyberte vzhled**: zvolte barvy, písma a rozvržení, které se k vašemu webu hodí.",
      "**Zveřejněte**: až budete spokojeni, nahrajte web na svůj webový server."}},
    {"da",
     "Velkommen",
     "Velkommen til dit nye websted",
     "Denne side er her, så dit websted aldrig er tomt. Ret eller slet den, når du vil. Det "
     "næste skridt:",
     {"**Tilføj sider**: skriv side for side, hvad dine besøgende skal vide.",
      "**Vælg et udseende**: vælg farver, skrifttyper og layout, der passer til dit websted.",
      "**Udgiv**: når du er tilfreds, lægger du webstedet på din webserver."}},
    {"nl",
     "Welkom",
     "Welkom op je nieuwe website",
     "Deze pagina zorgt ervoor dat je website nooit leeg is. Pas hem aan of verwijder hem "
     "wanneer je wilt. Wat nu:",
     {"**Pagina's toevoegen**: schrijf pagina voor pagina wat je bezoekers moeten weten.",
      "**Kies een uiterlijk**: kies de kleuren, lettertypen en indeling die bij je website "
      "passen.",
      "**Publiceren**: ben je tevreden, zet de website dan op je webserver."}},
    {"fi",
     "Tervetuloa",
     "Tervetuloa uudelle sivustollesi",
     "Tämä sivu on täällä, jotta sivustosi ei ole koskaan tyhjä. Muokkaa tai poista se milloin "
     "haluat. Näin jatkat:",
     {"**Lisää sivuja**: kirjoita sivu kerrallaan, mitä kävijöidesi pitää tietää.",
      "**Valitse ulkoasu**: valitse sivustollesi sopivat värit, fontit ja asettelu.",
      "**Julkaise**: kun olet tyytyväinen, siirrä sivusto verkkopalvelimellesi."}},
    {"fr",
     "Bienvenue",
     "Bienvenue sur votre nouveau site",
     "Cette page est là pour que votre site ne soit jamais vide. Modifiez-la ou supprimez-la "
     "quand vous voulez. Et maintenant :",
     {"**Ajouter des pages** : écrivez, page après page, ce que vos visiteurs doivent savoir.",
      "**Choisir un style** : choisissez les couleurs, les polices et la mise en page qui "
      "conviennent à votre site.",
      "**Publier** : quand tout vous plaît, mettez le site sur votre serveur web."}},
    {"de",
     "Willkommen",
     "Willkommen auf Ihrer neuen Website",
     "Diese Seite sorgt dafür, dass Ihre Website nie leer ist. Ändern oder löschen Sie sie, "
     "wann immer Sie möchten. So geht es weiter:",
     {"**Seiten hinzufügen**: Schreiben Sie Seite für Seite, was Ihre Besucher wissen sollen.",
      "**Aussehen wählen**: Wählen Sie Farben, Schriften und Aufteilung, die zu Ihrer Website "
      "passen.",
      "**Veröffentlichen**: Wenn Ihnen alles gefällt, laden Sie die Website auf Ihren "
      "Webserver."}},
    {"el",
     "Καλώς ήρθατε",
     "Καλώς ήρθατε στον νέο σας ιστότοπο",
     "Αυτή η σελίδα υπάρχει για να μην είναι ποτέ άδειος ο ιστότοπός σας. Αλλάξτε την ή "
     "διαγράψτε την όποτε θέλετε. Τι να κάνετε στη συνέχεια:",
     {"**Προσθέστε σελίδες**: γράψτε, σελίδα προς σελίδα, ό,τι πρέπει να γνωρίζουν οι "
      "επισκέπτες σας.",
      "**Επιλέξτε εμφάνιση**: διαλέξτε τα χρώματα, τις γραμματοσειρές και τη διάταξη που "
      "ταιριάζουν στον ιστότοπό σας.",
      "**Δημοσιεύστε**: όταν είστε ικανοποιημένοι, ανεβάστε τον ιστότοπο στον διακομιστή "
      "σας."}},
    {"he",
     "ברוכים הבאים",
     "ברוכים הבאים לאתר החדש שלכם",
     "הדף הזה נמצא כאן כדי שהאתר שלכם לעולם לא יהיה ריק. שנו או מחקו אותו מתי שתרצו. מה עושים "
     "עכשיו:",
     {"**הוסיפו דפים**: כתבו, דף אחר דף, את מה שהמבקרים שלכם צריכים לדעת.",
      "**בחרו מראה**: בחרו את הצבעים, הגופנים והפריסה שמתאימים לאתר שלכם.",
      "**פרסמו**: כשאתם מרוצים, העלו את האתר לשרת האינטרנט שלכם."}},
    {"hu",
     "Üdvözöljük",
     "Üdvözöljük új webhelyén",
     "Ez az oldal azért van itt, hogy a webhelye sose legyen üres. Módosítsa vagy törölje, "
     "amikor csak szeretné. A következő lépések:",
     {"**Oldalak hozzáadása**: írja le oldalanként, amit a látogatóinak tudniuk kell.",
      "**Megjelenés kiválasztása**: válassza ki a webhelyéhez illő színeket, betűtípusokat és "
      "elrendezést.",
      "**Közzététel**: ha elégedett, töltse fel a webhelyet a webszerverére."}},
    {"it",
     "Benvenuto",
     "Benvenuto nel tuo nuovo sito",
     "Questa pagina c'è perché il tuo sito non sia mai vuoto. Modificala o eliminala quando "
     "vuoi. Cosa fare ora:",
     {"**Aggiungi pagine**: scrivi, una pagina alla volta, ciò che i tuoi visitatori devono "
      "sapere.",
      "**Scegli un aspetto**: scegli i colori, i caratteri e l'impaginazione adatti al tuo sito.",
      "**Pubblica**: quando sei soddisfatto, carica il sito sul tuo server web."}},
    {"ja",
     "ようこそ",
     "新しいサイトへようこそ",
     "このページは、サイトが空にならないように置かれています。いつでも変更や削除ができます。"
     "次にすること：",
     {"**ページを追加**：訪問者に伝えたいことを、1ページずつ書きましょう。",
      "**デザインを選ぶ**：サイトに合う色、フォント、レイアウトを選びましょう。",
      "**公開する**：準備ができたら、サイトをWebサーバーにアップロードしましょう。"}},
    {"ko",
     "환영합니다",
     "새 사이트에 오신 것을 환영합니다",
     "이 페이지는 사이트가 비어 있지 않도록 놓여 있습니다. 언제든지 고치거나 지울 수 "
     "있습니다. 다음 단계:",
     {"**페이지 추가**: 방문자가 알아야 할 내용을 한 페이지씩 쓰세요.",
      "**디자인 선택**: 사이트에 어울리는 색, 글꼴, 레이아웃을 고르세요.",
      "**게시**: 마음에 들면 사이트를 웹 서버에 올리세요."}},
    {"nb",
     "Velkommen",
     "Velkommen til det nye nettstedet ditt",
     "Denne siden er her slik at nettstedet ditt aldri er tomt. Endre eller slett den når du "
     "vil. Dette gjør du nå:",
     {"**Legg til sider**: skriv side for side det de besøkende bør vite.",
      "**Velg et utseende**: velg farger, skrifter og oppsett som passer nettstedet ditt.",
      "**Publiser**: når du er fornøyd, legger du nettstedet på webserveren din."}},
    {"pl",
     "Witamy",
     "Witamy w Twojej nowej witrynie",
     "Ta strona jest tu po to, aby Twoja witryna nigdy nie była pusta. Zmień ją lub usuń, kiedy "
     "zechcesz. Co dalej:",
     {"**Dodaj strony**: opisz, strona po stronie, to, co powinni wiedzieć Twoi goście.",
      "**Wybierz wygląd**: wybierz kolory, czcionki i układ pasujące do Twojej witryny.",
      "**Opublikuj**: gdy wszystko Ci się podoba, umieść witrynę na swoim serwerze."}},
    {"pt",
     "Bem-vindo",
     "Bem-vindo ao seu novo site",
     "Esta página existe para que o seu site nunca esteja vazio. Altere-a ou apague-a quando "
     "quiser. O que fazer a seguir:",
     {"**Adicionar páginas**: escreva, página a página, o que os seus visitantes devem saber.",
      "**Escolher um aspeto**: escolha as cores, os tipos de letra e o esquema que combinam com "
      "o seu site.",
      "**Publicar**: quando estiver satisfeito, coloque o site no seu servidor web."}},
    {"pt-BR",
     "Bem-vindo",
     "Bem-vindo ao seu novo site",
     "Esta página existe para que o seu site nunca fique vazio. Altere ou exclua quando quiser. "
     "O que fazer agora:",
     {"**Adicionar páginas**: escreva, uma página de cada vez, o que seus visitantes precisam "
      "saber.",
      "**Escolher a aparência**: escolha as cores, as fontes e o layout que combinam com seu "
      "site.",
      "**Publicar**: quando estiver satisfeito, envie o site para o seu servidor web."}},
    {"ru",
     "Добро пожаловать",
     "Добро пожаловать на ваш новый сайт",
     "Эта страница нужна, чтобы ваш сайт никогда не был пустым. Измените или удалите её, когда "
     "захотите. Что делать дальше:",
     {"**Добавьте страницы**: страница за страницей напишите то, что должны знать ваши "
      "посетители.",
      "**Выберите оформление**: подберите цвета, шрифты и макет, которые подходят вашему сайту.",
      "**Опубликуйте**: когда всё будет готово, загрузите сайт на свой веб-сервер."}},
    {"es",
     "Bienvenida",
     "Bienvenido a su nuevo sitio web",
     "Esta página está aquí para que su sitio nunca esté vacío. Cámbiela o elimínela cuando "
     "quiera. Qué hacer ahora:",
     {"**Añadir páginas**: escriba, página a página, lo que sus visitantes deben saber.",
      "**Elegir un aspecto**: elija los colores, las fuentes y el diseño que mejor se adapten a "
      "su sitio.",
      "**Publicar**: cuando le guste el resultado, suba el sitio a su servidor web."}},
    {"sv",
     "Välkommen",
     "Välkommen till din nya webbplats",
     "Den här sidan finns här så att din webbplats aldrig är tom. Ändra eller ta bort den när "
     "du vill. Så här går du vidare:",
     {"**Lägg till sidor**: skriv sida för sida det som dina besökare ska veta.",
      "**Välj ett utseende**: välj färger, typsnitt och layout som passar din webbplats.",
      "**Publicera**: när du är nöjd lägger du upp webbplatsen på din webbserver."}},
    {"tr",
     "Hoş geldiniz",
     "Yeni sitenize hoş geldiniz",
     "Bu sayfa, siteniz hiçbir zaman boş kalmasın diye burada. İstediğiniz zaman değiştirin ya "
     "da silin. Sırada ne var:",
     {"**Sayfa ekleyin**: ziyaretçilerinizin bilmesi gerekenleri sayfa sayfa yazın.",
      "**Bir görünüm seçin**: sitenize uyan renkleri, yazı tiplerini ve düzeni seçin.",
      "**Yayımlayın**: memnun kaldığınızda siteyi web sunucunuza yükleyin."}},
};

namespace {

// Line breaks inside a page's text, as the documents hold them.
const char* const LineBreak = "#$D#$A";

std::string WithoutBoldMarks(std::string text) {
    for (std::size_t at = text.find("**"); at != std::string::npos; at = text.find("**", at))
        text.erase(at, 2);
    return text;
}

} // namespace

const TWelcomeWords& WelcomeWordsFor(const std::string& tag) {
    const std::string wanted = NormalizeLanguageTag(tag).value_or("en");
    const std::string language = wanted.substr(0, wanted.find('-'));
    const TWelcomeWords* ofLanguage = nullptr;
    for (const TWelcomeWords& words : WelcomeWords) {
        const std::string own = words.Tag;
        if (own == wanted)
            return words;
        if (!ofLanguage && own.substr(0, own.find('-')) == language)
            ofLanguage = &words;
    }
    return ofLanguage ? *ofLanguage : WelcomeWords[0];
}

std::string WelcomeText(const TWelcomeWords& words, bool markdown) {
    std::string text = words.Opening;
    // Markdown needs the blank line before the list; a plain text shows each step on a line.
    if (markdown)
        text += LineBreak;
    for (const char* step : words.Steps) {
        text += LineBreak;
        text += "- ";
        text += markdown ? std::string(step) : WithoutBoldMarks(step);
    }
    return text;
}

bool AddWelcomeColumn(TDProject& project) {
    if (project.MenuCount != 0)
        return false;
    const TWelcomeWords& words = WelcomeWordsFor(project.OPTIONS.SITE_LANGUAGE);
    TDMenuItem* item = project.AddMenuItem(false);
    if (!item)
        return false;
    item->TITLE = words.ColumnTitle;
    // The homepage shows the whole welcome, not a summary to click through.
    item->STYLE = "Contents";
    project.Save();
    TColumnInUse column(project.ColumnFile(0), *project.Document);
    TDPage page = TProjectEditor::NewPage(project);
    page.TITLE = words.PageTitle;
    page.TEXT = WelcomeText(words, page.IsMarkdown());
    column->AddPage(std::move(page));
    return true;
}
