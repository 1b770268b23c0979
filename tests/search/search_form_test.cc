#include "search/page/search_form.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/lang_keys.h"

namespace quorix {
namespace {

struct FormFixture {
  PageOutput out;
  Config config;
  VexaQuery query;
  SearchForm form{out};

  FormFixture() {
    config.langStrings[kStrFormSearchFor] = "Search for";
    config.langStrings[kStrFormSubmitButton] = "Go";
    config.langStrings[kStrFormResultsPerPage] = "Per page";
    config.langStrings[kStrFormCategory] = "Category";
    config.langStrings[kStrFormCategoryAll] = "All";
    config.langStrings[kStrFormMatch] = "Match";
    config.langStrings[kStrFormAnySearchWords] = "any";
    config.langStrings[kStrFormAllSearchWords] = "all";
    config.langStrings[kStrNoQuery] = "Please enter a query";
    config.langStrings[kStrMaxResults] = "Too far";
    config.categoryNames = {"Cats", "Dogs", "Birds"};
    query.rawQuery = query.query = "a&b";
    query.query_out = "a&amp;b";
    query.cat = {-1};
  }
  Status Run() { return form.DisplaySearchForm(config, query); }
  std::string Page() const { return out.Captured(); }
};

TEST(SearchForm, BasicFormKeepsChoicesInHiddenFields) {
  FormFixture f;
  f.config.formFormat = 1;
  f.query.itemsPerPage = 20;
  f.query.wordMatchAll = true;
  EXPECT_EQ(f.Run(), kOk);
  EXPECT_EQ(f.Page(),
            "<form method=\"get\" action=\"\" class=\"vexa_searchform\">\n"
            "Search for <input type=\"text\" name=\"vexa_query\" size=\"20\" "
            "value=\"a&amp;b\" class=\"vexa_searchbox\" />\n"
            "<input type=\"submit\" value=\"Go\" class=\"vexa_button\" />\n"
            "<input type=\"hidden\" name=\"vexa_per_page\" value=\"20\" />\n"
            "<input type=\"hidden\" name=\"vexa_and\" value=\"1\" />\n"
            "<input type=\"hidden\" name=\"vexa_sort\" value=\"0\" />\n"
            "</form>\n");
}

TEST(SearchForm, AdvancedFormWithoutCategories) {
  FormFixture f;
  f.config.formFormat = 2;
  f.query.itemsPerPage = 20;
  f.query.sortDate = true;
  EXPECT_EQ(f.Run(), kOk);
  std::string page = f.Page();
  EXPECT_NE(page.find("<span class=\"vexa_results_per_page\">Per page\n<select "
                      "name='vexa_per_page'><option>10</option><option "
                      "selected=\"selected\">20</option><option>50</option><option>100</"
                      "option></select><br /><br /></span>\n"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find("<span class=\"vexa_match\">Match \n"
                      "<input type=\"radio\" name=\"vexa_and\" value=\"0\" checked=\"checked\" "
                      "/>any\n<input type=\"radio\" name=\"vexa_and\" value=\"1\" />all\n"
                      "<input type=\"hidden\" name=\"vexa_sort\" value=\"1\" />\n"
                      "<br /><br /></span>\n</form>\n"),
            std::string::npos)
      << page;
  EXPECT_EQ(page.find("vexa_categories"), std::string::npos);
  EXPECT_EQ(page.find("name=\"vexa_per_page\""), std::string::npos) << "no hidden per-page field";
}

TEST(SearchForm, PerPageOutsideTheChoicesSelectsNone) {
  FormFixture f;
  f.config.formFormat = 2;
  f.query.itemsPerPage = 30;
  f.Run();
  EXPECT_EQ(f.Page().find("selected"), std::string::npos);
}

TEST(SearchForm, CategoryCheckboxes) {
  struct Case {
    std::vector<int32_t> cats;
    std::vector<std::string> checked, unchecked;
  } cases[] = {
      {{-1}, {"-1"}, {"0", "1", "2"}},
      {{0, 2}, {"0", "2"}, {"-1", "1"}},
  };
  for (const auto& c : cases) {
    FormFixture f;
    f.config.formFormat = 2;
    f.config.useCats = 1;
    f.config.searchMultiCats = 1;
    f.query.cat = c.cats;
    f.query.wordMatchAll = true;
    f.Run();
    std::string page = f.Page();
    for (const auto& v : c.checked)
      EXPECT_NE(page.find("name=\"vexa_cat[]\" value=\"" + v + "\" checked=\"checked\">"),
                std::string::npos)
          << "value " << v << " with first " << c.cats[0];
    for (const auto& v : c.unchecked)
      EXPECT_NE(page.find("name=\"vexa_cat[]\" value=\"" + v + "\">"), std::string::npos)
          << "value " << v << " with first " << c.cats[0];
    EXPECT_NE(page.find("<span class=\"vexa_categories\">\nCategory <ul>\n<li><input "
                        "type=\"checkbox\""),
              std::string::npos);
    EXPECT_NE(page.find("value=\"1\">Dogs</input></li>\n"), std::string::npos);
    EXPECT_NE(page.find("</ul><br /><br />\n</span>\n<span class=\"vexa_match\">"),
              std::string::npos);
    EXPECT_NE(page.find("value=\"1\" checked=\"checked\" />all"), std::string::npos);
  }
}

TEST(SearchForm, CategorySelect) {
  struct Case {
    int32_t first;
    std::string expected;
  } cases[] = {
      {-1,
       "<select name='vexa_cat[]'><option value=\"-1\">All</option><option "
       "value=\"0\">Cats</option><option value=\"1\">Dogs</option><option "
       "value=\"2\">Birds</option></select>&nbsp;&nbsp;\n</span>\n"},
      {1,
       "<select name='vexa_cat[]'><option value=\"-1\">All</option><option "
       "value=\"0\">Cats</option><option value=\"1\" selected=\"selected\">Dogs</option><option "
       "value=\"2\">Birds</option></select>&nbsp;&nbsp;\n</span>\n"},
  };
  for (const auto& c : cases) {
    FormFixture f;
    f.config.formFormat = 2;
    f.config.useCats = 1;
    f.query.cat = {c.first};
    f.Run();
    EXPECT_NE(f.Page().find("<span class=\"vexa_categories\">\nCategory " + c.expected),
              std::string::npos)
        << "first category " << c.first << "\n"
        << f.Page();
  }
}

TEST(SearchForm, WhenNotToSearch) {
  struct Case {
    int32_t formFormat;
    std::string rawQuery;
    int32_t page, perPage;
    Status expectedResult;
    std::string expectedTail;  // what follows the form, or the whole page without one
  } cases[] = {
      {0, "", 1, 10, kNothingToSearch, "Please enter a query<br />"},
      {-4, "", 1, 10, kNothingToSearch, "Please enter a query<br />"},
      {1, "", 1, 10, kNothingToSearch, "</form>\n"},
      {0, "cats", 100000, 10, kNothingToSearch, "Too far<br />"},
      {1, "cats", 100000, 10, kNothingToSearch, "</form>\nToo far<br />"},
      {0, "cats", 99999, 10, kOk, ""},
      {0, "cats", 2, 500000, kNothingToSearch, "Too far<br />"},
      {0, "cats", 70000, 70000, kNothingToSearch,
       "Too far<br />"},  // the product overflows 32 bits
  };
  for (const auto& c : cases) {
    FormFixture f;
    f.config.formFormat = c.formFormat;
    f.query.rawQuery = f.query.query = c.rawQuery;
    f.query.currentPageNum = c.page;
    f.query.itemsPerPage = c.perPage;
    EXPECT_EQ(f.Run(), c.expectedResult)
        << "format " << c.formFormat << " query " << c.rawQuery << " page " << c.page;
    std::string page = f.Page();
    if (c.formFormat <= 0)
      EXPECT_EQ(page, c.expectedTail) << "format " << c.formFormat << " page " << c.page;
    else
      EXPECT_TRUE(page.ends_with(c.expectedTail)) << "format " << c.formFormat << "\n" << page;
  }
}

// Under PageMarkup 1 every field has a label: a word clicked ticks its box.
TEST(SearchForm, LabelledFormUnderTheCurrentMarkup) {
  struct Case {
    int formFormat;
    int multiCats;
    std::vector<std::string> fragments;
  } cases[] = {
      {1, 0,
       {"<form method=\"get\" class=\"vexa_searchform\" role=\"search\">\n"
        "<label for=\"vexa_query\">Search for</label> <input type=\"search\" id=\"vexa_query\" "
        "name=\"vexa_query\" size=\"20\" value=\"a&amp;b\" class=\"vexa_searchbox\" />\n",
        "<input type=\"hidden\" name=\"vexa_per_page\" value=\"20\" />\n"}},
      {2, 1,
       {"<label for=\"vexa_per_page\">Per page</label>\n<select id=\"vexa_per_page\" "
        "name=\"vexa_per_page\"><option>10</option><option selected=\"selected\">20</option>",
        "<fieldset class=\"vexa_categories\"><legend>Category</legend>\n<ul>\n"
        "<li><label><input type=\"checkbox\" name=\"vexa_cat[]\" value=\"-1\" /> All</label></li>\n"
        "<li><label><input type=\"checkbox\" name=\"vexa_cat[]\" value=\"0\" /> Cats</label></li>\n"
        "<li><label><input type=\"checkbox\" name=\"vexa_cat[]\" value=\"1\" checked=\"checked\" />"
        " Dogs</label></li>\n",
        "<fieldset class=\"vexa_match\"><legend>Match</legend>\n"
        "<label><input type=\"radio\" name=\"vexa_and\" value=\"0\" /> any</label>\n"
        "<label><input type=\"radio\" name=\"vexa_and\" value=\"1\" checked=\"checked\" /> "
        "all</label>\n</fieldset>\n"}},
      {2, 0,
       {"<span class=\"vexa_categories\"><label for=\"vexa_cat\">Category</label>\n"
        "<select id=\"vexa_cat\" name=\"vexa_cat[]\"><option value=\"-1\">All</option>"
        "<option value=\"0\">Cats</option><option value=\"1\" selected=\"selected\">Dogs"}},
  };
  for (const Case& c : cases) {
    FormFixture f;
    f.config.pageMarkup = 1;
    f.config.formFormat = c.formFormat;
    f.config.useCats = 1;
    f.config.searchMultiCats = c.multiCats;
    f.query.itemsPerPage = 20;
    f.query.wordMatchAll = true;
    f.query.cat = {1};
    EXPECT_EQ(f.Run(), kOk);
    for (const std::string& fragment : c.fragments)
      EXPECT_NE(f.Page().find(fragment), std::string::npos) << fragment << "\nin\n" << f.Page();
    EXPECT_EQ(f.Page().find("</input>"), std::string::npos);
  }
}

}  // namespace
}  // namespace quorix
