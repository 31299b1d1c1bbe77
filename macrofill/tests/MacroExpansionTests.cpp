#include <gtest/gtest.h>

#include <random>

#include "MacroExpander.h"
#include "MacroExpansionAdditions.h"
#include "MacroExpansionOracle.h"

using namespace base;
using namespace macrofill;

namespace {

Ref<Dictionary> table(std::initializer_list<std::pair<std::string, ObjectRef>> entries) {
    return Dictionary::withStringKeys(entries);
}

ObjectRef str(std::string text) { return String::make(std::move(text)); }

std::string expand(const std::string& text, const Dictionary& definitions) {
    // Every expectation below is also the oracle's answer.
    EXPECT_EQ(oracle::disagreement(text, definitions), "");
    return mxp_stringByExpandingMacrosUsingTable(String::make(text), definitions)->text();
}

std::string failure(const std::string& text, const Dictionary& definitions) {
    try {
        mxp_stringByExpandingMacrosUsingTable(String::make(text), definitions);
    } catch (const Exception& error) {
        return error.reason();
    }
    return "";
}

}  // namespace

TEST(StringExpansion, ReplacesReferencesByTheirValues) {
    auto t = table({{"NAME", str("value")},
                    {"OTHER", str("X")},
                    {"NAME_X", str("nested")},
                    {"WITH_REF", str("<$(NAME)>")},
                    {"", str("empty name")}});
    EXPECT_EQ(expand("before $(NAME) after", *t), "before value after");
    EXPECT_EQ(expand("$(NAME)$(OTHER)", *t), "valueX");
    EXPECT_EQ(expand("[$(MISSING)]", *t), "[]");
    EXPECT_EQ(expand("$(NAME_$(OTHER))", *t), "nested");
    EXPECT_EQ(expand("$(WITH_REF)", *t), "<value>");  // values are scanned again
    EXPECT_EQ(expand("$()", *t), "empty name");
    EXPECT_EQ(expand("$()", *table({})), "");
    // An operator is part of the name.
    EXPECT_EQ(expand("a$(NAME:rfc1034identifier)b", *t), "ab");
    EXPECT_EQ(expand("caf\xC3\xA9 $(NAME) \xF0\x9F\x8E\x89", *t),
              "caf\xC3\xA9 value \xF0\x9F\x8E\x89");
}

TEST(StringExpansion, DollarSignsAreTakenInPairs) {
    auto t = table({{"A", str("a")}});
    EXPECT_EQ(expand("$x $A cost$", *t), "$x $A cost$");
    EXPECT_EQ(expand("$$(A)", *t), "$$(A)");
    EXPECT_EQ(expand("$$$(A)", *t), "$$a");
    EXPECT_EQ(expand("$$$$(A)", *t), "$$$$(A)");
    // The character skipped after "$" may be a "$" that would start a reference.
    EXPECT_EQ(expand("$$(A)$(A)", *t), "$$(A)a");
}

TEST(StringExpansion, AnUnterminatedReferenceLeavesTheWholeStringUnchanged) {
    auto t = table({{"A", str("a")}, {"OPEN", str("$(")}, {"HALF", str("$(A")}});
    auto original = String::make("$(A) then $(A");
    EXPECT_EQ(mxp_stringByExpandingMacrosUsingTable(original, *t), original);
    EXPECT_EQ(expand("x$(", *t), "x$(");
    EXPECT_EQ(expand("$(A)$(A(", *t), "$(A)$(A(");
    // A value may open a reference that the rest of the string closes...
    EXPECT_EQ(expand("$(HALF))", *t), "a");
    // ...or leave it open, which undoes everything.
    EXPECT_EQ(expand("$(A)$(OPEN)", *t), "$(A)$(OPEN)");
    // An unterminated reference inside a name leaves the name text as it is.
    EXPECT_EQ(expand("$(x$(OPEN))", *table({{"OPEN", str("$(")}, {"x$(OPEN)", str("found")}})),
              "found");
}

TEST(StringExpansion, ADefinitionThatIsNotAStringFailsWhenLookedUp) {
    auto t = table({{"N", Number::initWithInteger(3)},
                    {"L", Array::make()},
                    {"S", str("s")},
                    {"INDIRECT", str("$(N)")}});
    EXPECT_EQ(expand("$(S)", *t), "s");  // unused definitions are not checked
    EXPECT_EQ(failure("$(N)", *t), "The value for the macro N is not an Utterance but is a Number");
    EXPECT_EQ(failure("x $(L)", *t),
              "The value for the macro L is not an Utterance but is a Array");
    EXPECT_EQ(failure("$(INDIRECT)", *t),
              "The value for the macro N is not an Utterance but is a Number");
    EXPECT_EQ(oracle::disagreement("$(INDIRECT)", *t), "");
    // Unterminated before the lookup: no failure.
    EXPECT_EQ(failure("$(N", *t), "");
}

TEST(StringExpansion, DefinitionsThatReferToThemselvesAreReportedWithTheirCycle) {
    EXPECT_EQ(failure("$(A)", *table({{"A", str("$(A)")}})),
              "build setting references form a cycle: A -> A");
    EXPECT_EQ(
        failure("x$(A)y", *table({{"A", str("1$(B)")}, {"B", str("2$(C)")}, {"C", str("$(A)3")}})),
        "build setting references form a cycle: A -> B -> C -> A");
    // Through the name of a reference.
    EXPECT_EQ(failure("$(A)", *table({{"A", str("$(X_$(A))")}})),
              "build setting references form a cycle: A -> A");
    // A name whose expansion needs the same name text again.
    EXPECT_EQ(failure("$(B)))", *table({{"B", str("$(($(B))")}})),
              "build setting references form a cycle: B -> B");
    // Repeated use is not a cycle, nor a value that only looks like one
    // because the reference it opens is closed by the text after it.
    auto t =
        table({{"A", str("a")}, {"B", str("$(A)$(A)")}, {"D", str("$")}, {"E", str("$($(E)")}});
    EXPECT_EQ(expand("$(B)$(B)", *t), "aaaa");
    EXPECT_EQ(expand("$(D)(D)", *t), "$");
    EXPECT_EQ(expand("$(E))", *t), "");
}

TEST(StringExpansion, ResultsThatDoubleAtEveryLevelAreStopped) {
    Dictionary::Builder builder;
    for (int i = 0; i < 40; ++i)
        builder.set("L" + std::to_string(i),
                    str("$(L" + std::to_string(i + 1) + ")$(L" + std::to_string(i + 1) + ")"));
    builder.set("L40", str("0123456789"));
    auto t = builder.build();
    // A small allowance keeps the test quick; the default one works alike.
    MacroExpander expander(*t, std::size_t{1} << 20);
    EXPECT_THROW(
        {
            try {
                expander.expandString(String::make("$(L0)"));
            } catch (const MacroExpansionError& error) {
                EXPECT_NE(error.reason().find("grows too large"), std::string::npos);
                throw;
            }
        },
        MacroExpansionError);
    EXPECT_EQ(expander.expandString(String::make("$(L36)"))->text().size(), 160u);
}

TEST(StringExpansion, ValuesThatDependOnWhatFollowsThemAreScannedWithIt) {
    // Values that stand on their own and values that take in the text after
    // them, at every depth of nesting and inside names.
    auto t = table({{"PAIRED", str("x$$")},
                    {"LONE", str("x$")},
                    {"OPENS", str("<$(PAI")},
                    {"INNER", str("[$(PAIRED)]")},
                    {"OUTER", str("{$(INNER)$(LONE)}")},
                    {"N_x$$", str("by name")},
                    {"NAME", str("N_$(PAIRED)")}});
    EXPECT_EQ(expand("$(PAIRED)(A)", *t), "x$$(A)");
    // The value's last "$" and the "(" after it open a reference.
    EXPECT_EQ(expand("$(LONE)(PAIRED)", *t), "xx$$");
    EXPECT_EQ(expand("$(OPENS)RED)>", *t), "<x$$>");
    EXPECT_EQ(expand("$(OUTER)", *t), "{[x$$]x$}");
    EXPECT_EQ(expand("$(N_$(PAIRED)) $($(NAME))", *t), "by name by name");
    // Chains around the depth at which the one-pass way hands over.
    for (int links : {30, 31, 32, 33, 34}) {
        Dictionary::Builder builder;
        for (int i = 0; i < links; ++i)
            builder.set("L" + std::to_string(i), str("($(L" + std::to_string(i + 1) + "))"));
        builder.set("L" + std::to_string(links), str("end"));
        auto chain = builder.build();
        EXPECT_EQ(expand("$(L0)", *chain), std::string(static_cast<std::size_t>(links), '(') +
                                               "end" +
                                               std::string(static_cast<std::size_t>(links), ')'));
    }
}

TEST(StringExpansion, PlainValuesCountAgainstTheAllowanceAsNestedOnesDo) {
    // Each name and each value put in counts; the allowance is 64 bytes
    // beyond four times the string's length. Plain references alone are
    // expanded in one pass, a nested one first takes the general way: both
    // stop at the same size.
    for (std::size_t length = 30; length <= 45; ++length) {
        auto t = table({{"P", str(std::string(length, 'p'))}, {"E", str("$(M)")}});
        MacroExpander expander(*t, 64);
        auto fits = [&](const std::string& text) {
            try {
                return expander.expandString(String::make(text))->text() ==
                       std::string(3 * length, 'p');
            } catch (const MacroExpansionError& error) {
                EXPECT_EQ(error.reason(),
                          "the expansion of a string grows too large (beyond 64 bytes more than "
                          "four times its length)");
                return false;
            }
        };
        EXPECT_EQ(fits("$(P)$(P)$(P)"), 3 * (1 + length) <= 64 + 4 * 12) << length;
        // "$(E)" costs 1 + 4 + 1 for E, its value and the missing M.
        EXPECT_EQ(fits("$(E)$(P)$(P)$(P)"), 6 + 3 * (1 + length) <= 64 + 4 * 16) << length;
    }
}

TEST(StringExpansion, LongInputsExpandCompletely) {
    // Many references side by side, and a chain of definitions each
    // referring to the next.
    Dictionary::Builder builder;
    std::string text, expected;
    for (int i = 0; i < 200000; ++i) {
        text += "$(N" + std::to_string(i % 100) + ")";
        expected += "v" + std::to_string(i % 100);
    }
    for (int i = 0; i < 100; ++i)
        builder.set("N" + std::to_string(i), str("v" + std::to_string(i)));
    for (int i = 0; i < 1000; ++i)
        builder.set("C" + std::to_string(i), str("<$(C" + std::to_string(i + 1) + ")"));
    builder.set("C1000", str("end"));
    auto t = builder.build();
    EXPECT_EQ(mxp_stringByExpandingMacrosUsingTable(String::make(text), *t)->text(), expected);
    EXPECT_EQ(mxp_stringByExpandingMacrosUsingTable(String::make("$(C0)"), *t)->text(),
              std::string(1000, '<') + "end");
}

namespace {

struct OracleComparison {
    int expanded = 0;    // strings that came back changed
    int cycles = 0;      // strings the oracle gave up on
    int longValues = 0;  // definitions whose value exceeds 16 bytes
};

// Compares the expander with the oracle on generated strings over the
// characters that matter, with a few definitions drawn from the same
// characters: nested, open, cyclic and missing references all occur. A
// definition's value has up to `maxValuePieces` pieces of one to four bytes.
OracleComparison compareWithTheOracle(std::uint32_t seed, int maxValuePieces) {
    std::mt19937 random(seed);
    const std::string alphabet[] = {"$", "$", "(",        ")",  "A",    "B",
                                    "C", "x", "\xC3\xA9", "$(", "$(A)", "$(B)"};
    auto piece = [&](int maxLength) {
        std::string text;
        int length = static_cast<int>(random() % static_cast<unsigned>(maxLength + 1));
        for (int i = 0; i < length; ++i) text += alphabet[random() % std::size(alphabet)];
        return text;
    };
    // Tighter limits than the default keep the oracle quick on cycles.
    const oracle::Limits limits{20000, 60, 4000};
    OracleComparison seen;
    for (int round = 0; round < 2500; ++round) {
        Dictionary::Builder builder;
        for (const char* name : {"A", "B", "C", "AB", "x"}) {
            if (random() % 4 == 0) continue;
            std::string value = piece(maxValuePieces);
            seen.longValues += value.size() > 16;
            builder.set(name, str(value));
        }
        if (random() % 10 == 0) builder.set("C", Number::initWithInteger(1));
        auto t = builder.build();
        std::string text = piece(8);
        EXPECT_EQ(oracle::disagreement(text, *t, limits), "") << text << " " << t->description();
        if (::testing::Test::HasFailure()) break;
        auto result = oracle::expandString(text, *t, limits);
        seen.expanded += result.status == oracle::Status::expanded && result.text != text;
        seen.cycles += result.status == oracle::Status::gaveUp;
    }
    return seen;
}

}  // namespace

TEST(StringExpansion, AgreesWithTheOracleOnGeneratedInputs) {
    // Values of up to 16 bytes, which the expander copies into its own
    // pieces, then values up to 48 bytes, which it reads where they are,
    // mixed in one table.
    for (auto [seed, maxValuePieces] : {std::pair{20240611u, 4}, std::pair{20261207u, 12}}) {
        OracleComparison seen = compareWithTheOracle(seed, maxValuePieces);
        // The generator reaches the interesting cases.
        EXPECT_GT(seen.expanded, 250) << maxValuePieces;
        EXPECT_GT(seen.cycles, 12) << maxValuePieces;
        if (maxValuePieces > 4) {
            EXPECT_GT(seen.longValues, 1000);
        }
    }
}

TEST(ContainerExpansion, ExpandsValuesAtAnyDepthAndNothingElse) {
    auto t = table({{"A", str("a")}, {"K", str("never")}});
    auto date = Date::withTimeIntervalSinceReferenceDate(5);
    auto data = Data::make(std::vector<std::uint8_t>{1, 2});
    auto number = Number::initWithInteger(7);
    auto unchanged = Array::make({str("plain"), number});
    auto root = Dictionary::withStringKeys({
        {"$(K)", str("$(A)")},
        {"list", Array::make({str("x$(A)"), Array::make({str("$(A)$(A)")}),
                              Dictionary::withStringKeys({{"k", str("$(A)")}}), number, date, data,
                              Number::initWithBool(true)})},
        {"same", unchanged},
    });
    auto result = mxp_dictionaryByExpandingMacrosInValuesUsingTable(root, *t);
    EXPECT_EQ(result->description(),
              "{$(K) = a; list = (xa, (aa), {k = a}, 7, 2001-01-01T00:00:05Z, "
              "{length = 2, bytes = 0x0102}, 1); same = (plain, 7)}");
    auto list = cast<Array>(result->objectForKey("list"));
    EXPECT_EQ(list->at(3), number);
    EXPECT_EQ(list->at(4), date);
    EXPECT_EQ(list->at(5), data);
    EXPECT_EQ(result->objectForKey("same"), unchanged);
    EXPECT_EQ(cast<Array>(root->objectForKey("list"))->at(0)->description(),
              "x$(A)");  // receiver untouched

    auto array = mxp_arrayByExpandingMacrosUsingTable(Array::make({str("$(A)"), number}), *t);
    EXPECT_EQ(array->description(), "(a, 7)");
}

TEST(ContainerExpansion, AFailureAnywhereFailsTheWhole) {
    auto t = table({{"N", Number::initWithInteger(1)}, {"A", str("$(A)")}});
    auto root = Dictionary::withStringKeys(
        {{"ok", str("fine")}, {"deep", Array::make({Array::make({str("$(N)")})})}});
    EXPECT_THROW(mxp_dictionaryByExpandingMacrosInValuesUsingTable(root, *t),
                 InvalidArgumentException);
    EXPECT_THROW(mxp_arrayByExpandingMacrosUsingTable(Array::make({str("$(A)")}), *t),
                 MacroExpansionError);
    ObjectRef deep = str("$(X)");
    for (int i = 0; i < 1000; ++i) deep = Array::make({deep});
    EXPECT_THROW(mxp_arrayByExpandingMacrosUsingTable(cast<Array>(deep), *t), MacroExpansionError);
}

TEST(ContainerExpansion, SharedContainersAreExpandedOnce) {
    // Sixty levels of an array holding the level below twice: 2^60 paths,
    // but 61 distinct arrays.
    ObjectRef level = Array::make({str("$(A)")});
    for (int i = 0; i < 60; ++i) level = Array::make({level, level});
    auto result =
        mxp_arrayByExpandingMacrosUsingTable(cast<Array>(level), *table({{"A", str("a")}}));
    ObjectRef bottom = result;
    for (int i = 0; i < 60; ++i) {
        auto array = cast<Array>(bottom);
        ASSERT_EQ(array->at(0), array->at(1));
        bottom = array->at(0);
    }
    EXPECT_EQ(bottom->description(), "(a)");
}
