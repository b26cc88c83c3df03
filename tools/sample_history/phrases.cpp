#include "sample_history/phrases.h"

namespace quillmark::sample {

const std::vector<std::string>& phrases(Language language) {
    static const std::vector<std::string> english = {
        "On my way!",
        "Running 10 minutes late, sorry 🙈",
        "Did you see the game last night?",
        "Sounds good 👍",
        "Can you pick up some milk on the way home?",
        "Happy Friday 🎉",
        "I'll call you after work",
        "That's hilarious 😂😂",
        "Where did we park?",
        "Thanks so much, really appreciate it ❤️",
        "Let's do brunch on Sunday?",
        "The train is delayed again 🚆",
        "Good night 🌙",
        "Just landed ✈️",
        "Can't wait!",
        "Who's bringing the snacks?",
        "Sending you the address now",
        "Ha, classic",
        "Are we still on for tomorrow?",
        "Made it home safe 🏠",
        "Coffee? ☕️",
        "How did the interview go?",
        "Love this 😍",
        "Ok see you there",
    };
    static const std::vector<std::string> french = {
        "Ça va ? On se voit demain à la crêperie ?",
        "Je suis déjà à la gare 🚉",
        "Merci beaucoup, c'était délicieux !",
        "Bonne journée ☀️",
        "À tout à l'heure !",
        "Tu as reçu mon colis ?",
        "Joyeux anniversaire ! 🎂",
        "On mange où ce soir ? Il y a un café près de l'Hôtel-Dieu",
        "Désolée, je suis en retard…",
        "C'est noté 👌",
        "Où es-tu ? Je t'attends devant le musée",
        "Bisous 😘",
    };
    static const std::vector<std::string> russian = {
        "Привет! Как дела?",
        "Встретимся завтра в 19:00 у метро",
        "Спасибо большое! 🙏",
        "Я уже еду",
        "С днём рождения! 🎂🥳",
        "Позвони, когда будешь свободен",
        "Отличная новость!",
        "Доброе утро ☀️",
        "Купи, пожалуйста, хлеб",
        "Созвонимся вечером?",
        "Всё в порядке, не волнуйся",
        "Хорошо, договорились 👍",
    };
    static const std::vector<std::string> greek = {
        "Καλημέρα! Τι κάνεις;",
        "Ευχαριστώ πολύ για το δώρο 🎁",
        "Θα είμαι εκεί σε δέκα λεπτά",
        "Καλό βράδυ 🌙",
        "Πάμε για καφέ αύριο;",
        "Χρόνια πολλά! 🎉",
        "Τα λέμε το Σάββατο",
        "Έφτασα στο σπίτι",
        "Τέλεια ιδέα 😄",
        "Πού είσαι;",
    };
    static const std::vector<std::string> arabic = {
        "مرحبا! كيف حالك؟",
        "شكراً جزيلاً 🙏",
        "أراك غداً إن شاء الله",
        "صباح الخير ☀️",
        "أنا في الطريق",
        "عيد مبارك 🌙✨",
        "هل وصلت إلى البيت؟",
        "سأتصل بك بعد الاجتماع",
        "ممتاز، اتفقنا 👍",
        "الاجتماع الساعة ١٠:٣٠ صباحاً",
    };
    static const std::vector<std::string> hebrew = {
        "שלום! מה שלומך?",
        "נתראה ביום שישי בתל אביב 🌊",
        "תודה רבה!",
        "בוקר טוב ☀️",
        "אני כבר בדרך",
        "שבת שלום 🕯️",
        "מתי אתה מגיע?",
        "מעולה, סגרנו 👍",
        "חג שמח! 🍎🍯",
        "אני מאחרת בעשר דקות",
    };
    static const std::vector<std::string> chinese = {
        "你好！周末一起去喝茶吗？🍵",
        "我已经到了",
        "谢谢你的帮助！",
        "生日快乐！🎂",
        "明天见",
        "今天天气很好 ☀️",
        "晚上一起吃饭吧",
        "新年快乐！🧧",
        "好的，没问题 👌",
        "你在哪儿？",
    };
    static const std::vector<std::string> japanese = {
        "東京で会いましょう。",
        "ありがとうございます！",
        "おはようございます ☀️",
        "今から出ます🚃",
        "お疲れさまでした",
        "了解です 👍",
        "안녕하세요! 반갑습니다 😊",
        "감사합니다!",
    };
    static const std::vector<std::string> hindi = {
        "नमस्ते! आप कैसे हैं?",
        "दिवाली की शुभकामनाएँ 🪔✨",
        "मैं रास्ते में हूँ",
        "धन्यवाद! 🙏",
        "कल मिलते हैं",
        "जन्मदिन मुबारक हो! 🎂",
        "खाना बहुत स्वादिष्ट था",
        "ठीक है, पक्का 👍",
        "होली मुबारक! 🎨",
        "आप कब पहुँचेंगे?",
    };
    switch (language) {
        case Language::english:
            return english;
        case Language::french:
            return french;
        case Language::russian:
            return russian;
        case Language::greek:
            return greek;
        case Language::arabic:
            return arabic;
        case Language::hebrew:
            return hebrew;
        case Language::chinese:
            return chinese;
        case Language::japanese:
            return japanese;
        case Language::hindi:
            return hindi;
    }
    return english;
}

const std::vector<Language>& allLanguages() {
    static const std::vector<Language> all = {Language::english, Language::english, Language::english,
                                              Language::french,  Language::russian, Language::greek,
                                              Language::arabic,  Language::hebrew,  Language::chinese,
                                              Language::japanese, Language::hindi};
    return all;
}

const std::vector<std::string>& firstNames() {
    static const std::vector<std::string> names = {
        "Olivia", "Liam",  "Emma",   "Noah",   "Amélie", "Lucas",  "Sofía",  "Mateo", "Ingrid", "Jonas",
        "Zoë",    "Aarav", "Mei",    "Hiroshi", "Ольга", "Иван",   "Νίκος",  "Μαρία", "Yusuf", "Leila",
        "Tamar",  "Amit",  "Chiara", "Björn",  "Siobhán", "Kwame", "Ngozi",  "Pita",  "Ana",   "João"};
    return names;
}

const std::vector<std::string>& lastNames() {
    static const std::vector<std::string> names = {
        "Smith",  "García", "Müller",  "Rossi",    "Nowak",   "Kowalczyk", "Dubois", "Andersson", "Tanaka",
        "Kim",    "Nguyễn", "Петрова", "Смирнов",  "Γεωργίου", "Haddad",  "Cohen",  "Patel",     "Okeke",
        "O'Brien", "Løvik", "Silva",   "Fernández", "Yılmaz",  "Novák"};
    return names;
}

}  // namespace quillmark::sample
