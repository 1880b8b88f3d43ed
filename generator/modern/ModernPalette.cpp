// The modern pages' colours: the scheme's, mended for contrast, and their dark variant.

#include "generator/modern/ModernPalette.h"

#include "model/Contrast.h"

namespace {

// A region's background: its own, or the page's where the scheme leaves it transparent.
TColor Background(TColor own, bool transparent, TColor page) {
    return (transparent ? page : own) & 0xFFFFFF;
}

void MendTexts(TModernPalette& p) {
    p.Text = WithContrast(p.Text, p.Main, TextContrast);
    p.Title = WithContrast(p.Title, p.Main, TextContrast);
    p.WelcomeText = WithContrast(p.WelcomeText, p.WelcomeBg, TextContrast);
    p.TopicText = WithContrast(p.TopicText, p.TopicBg, TextContrast);
    p.MenuText = WithContrast(p.MenuText, p.MenuBg, TextContrast);
    p.HotspotText = WithContrast(p.HotspotText, p.HotspotBg, TextContrast);
    p.FootText = WithContrast(p.FootText, p.FootBg, TextContrast);
}

} // namespace

TModernPalette TModernPalette::Light(const TDColor& s) {
    TModernPalette p;
    p.Page = s.BG & 0xFFFFFF;
    p.Main = Background(s.TEXT_BG, s.TEXT_TRANS, p.Page);
    p.Text = s.TEXT;
    p.Title = s.TITLE;
    p.WelcomeBg = Background(s.WELCOME_BG, s.WELCOME_TRANS, p.Page);
    p.WelcomeText = s.WELCOME_TEXT;
    p.TopicBg = Background(s.TOPIC_BG, s.TOPIC_TRANS, p.Page);
    p.TopicText = s.TOPIC_TEXT;
    p.MenuBg = Background(s.MENU_BG, s.MENU_TRANS, p.Page);
    p.MenuText = s.MENU_TEXT;
    p.HotspotBg = Background(s.HOTSPOT_BG, s.HOTSPOT_TRANS, p.Page);
    p.HotspotText = s.HOTSPOT_TEXT;
    p.FootBg = Background(s.FOOT_BG, s.FOOT_TRANS, p.Page);
    p.FootText = s.FOOT_TEXT;
    MendTexts(p);
    return p;
}

TModernPalette TModernPalette::Dark(const TDColor& s) {
    const TModernPalette light = Light(s);
    // Backgrounds keep their hue in the dark; the page and the text area darkest, the bars
    // a little lighter so that the regions stay apart. Texts turn light.
    const auto dark = [](TColor c, double lightness) { return WithLightness(c, lightness); };
    TModernPalette p;
    p.Page = dark(light.Page, 0.08);
    p.Main = dark(light.Main, 0.11);
    p.Text = dark(s.TEXT, 0.88);
    p.Title = dark(s.TITLE, 0.8);
    p.WelcomeBg = dark(light.WelcomeBg, 0.15);
    p.WelcomeText = dark(s.WELCOME_TEXT, 0.88);
    p.TopicBg = dark(light.TopicBg, 0.17);
    p.TopicText = dark(s.TOPIC_TEXT, 0.9);
    p.MenuBg = dark(light.MenuBg, 0.15);
    p.MenuText = dark(s.MENU_TEXT, 0.88);
    p.HotspotBg = dark(light.HotspotBg, 0.14);
    p.HotspotText = dark(s.HOTSPOT_TEXT, 0.88);
    p.FootBg = dark(light.FootBg, 0.14);
    p.FootText = dark(s.FOOT_TEXT, 0.88);
    MendTexts(p);
    return p;
}
