#include "search/page/search_form.h"

#include <algorithm>

#include "config/lang_keys.h"
#include "platform/html_text.h"

namespace quorix {
namespace {

constexpr int32_t kPerPageChoices[] = {10, 20, 50, 100};
constexpr int64_t kMaxResultsReachable = 1000000;
constexpr int32_t kAdvancedForm = 2;

bool IsSelected(const VexaQuery& query, int32_t category) {
  return std::find(query.cat.begin(), query.cat.end(), category) != query.cat.end();
}

int32_t FirstCategory(const VexaQuery& query) { return query.cat.empty() ? -1 : query.cat[0]; }

}  // namespace

void SearchForm::WriteResultsPerPage(const Config& config, const VexaQuery& query) {
  out_.Printf("<span class=\"vexa_results_per_page\">%s\n",
              config.langStrings[kStrFormResultsPerPage].c_str());
  out_.Write("<select name='vexa_per_page'>");
  for (int32_t choice : kPerPageChoices) {
    out_.Write("<option");
    if (choice == query.itemsPerPage) out_.Write(" selected=\"selected\"");
    out_.Printf(">%d</option>", choice);
  }
  out_.Write("</select><br /><br /></span>\n");
}

void SearchForm::WriteCategories(const Config& config, const VexaQuery& query) {
  const std::string& all = config.langStrings[kStrFormCategoryAll];
  int32_t first = FirstCategory(query);
  out_.Write("<span class=\"vexa_categories\">\n");
  out_.Printf("%s ", config.langStrings[kStrFormCategory].c_str());
  if (config.searchMultiCats) {
    out_.Write("<ul>\n");
    out_.Write("<li><input type=\"checkbox\" name=\"vexa_cat[]\" value=\"-1\"");
    if (first == -1) out_.Write(" checked=\"checked\"");
    out_.Printf(">%s</input></li>\n", all.c_str());
    for (size_t v = 0; v < config.categoryNames.size(); ++v) {
      int32_t number = static_cast<int32_t>(v);
      out_.Printf("<li><input type=\"checkbox\" name=\"vexa_cat[]\" value=\"%d\"", number);
      if (first != -1 && IsSelected(query, number)) out_.Write(" checked=\"checked\"");
      out_.Printf(">%s</input></li>\n", config.categoryNames[v].c_str());
    }
    out_.Write("</ul><br /><br />\n");
  } else {
    out_.Write("<select name='vexa_cat[]'>");
    out_.Printf("<option value=\"-1\">%s</option>", all.c_str());
    for (size_t v = 0; v < config.categoryNames.size(); ++v) {
      int32_t number = static_cast<int32_t>(v);
      out_.Printf("<option value=\"%d\"", number);
      if (number == first) out_.Write(" selected=\"selected\"");
      out_.Printf(">%s</option>", config.categoryNames[v].c_str());
    }
    out_.Write("</select>&nbsp;&nbsp;\n");
  }
  out_.Write("</span>\n");
}

void SearchForm::WriteMatchChoice(const Config& config, const VexaQuery& query) {
  const char* any = config.langStrings[kStrFormAnySearchWords].c_str();
  const char* every = config.langStrings[kStrFormAllSearchWords].c_str();
  out_.Printf("<span class=\"vexa_match\">%s \n", config.langStrings[kStrFormMatch].c_str());
  if (!query.wordMatchAll) {
    out_.Printf("<input type=\"radio\" name=\"vexa_and\" value=\"0\" checked=\"checked\" />%s\n",
                any);
    out_.Printf("<input type=\"radio\" name=\"vexa_and\" value=\"1\" />%s\n", every);
  } else {
    out_.Printf("<input type=\"radio\" name=\"vexa_and\" value=\"0\" />%s\n", any);
    out_.Printf("<input type=\"radio\" name=\"vexa_and\" value=\"1\" checked=\"checked\" />%s\n",
                every);
  }
  out_.Printf("<input type=\"hidden\" name=\"vexa_sort\" value=\"%d\" />\n",
              query.sortDate ? 1 : 0);
  out_.Write("<br /><br /></span>\n");
}

void SearchForm::WriteLabelledQuery(const Config& config, const VexaQuery& query) {
  // No action attribute for an empty link base: an empty action is not valid HTML.
  if (query.linkBase.empty())
    out_.Write("<form method=\"get\" class=\"vexa_searchform\" role=\"search\">\n");
  else
    out_.Printf("<form method=\"get\" action=\"%s\" class=\"vexa_searchform\" role=\"search\">\n",
                EscapeHtml(query.linkBase).c_str());
  out_.Printf("<label for=\"vexa_query\">%s</label> ",
              config.langStrings[kStrFormSearchFor].c_str());
  out_.Printf(
      "<input type=\"search\" id=\"vexa_query\" name=\"vexa_query\" size=\"20\" "
      "value=\"%s\" class=\"vexa_searchbox\" />\n",
      query.query_out.c_str());
  out_.Printf("<input type=\"submit\" value=\"%s\" class=\"vexa_button\" />\n",
              config.langStrings[kStrFormSubmitButton].c_str());
}

void SearchForm::WriteLabelledPerPage(const Config& config, const VexaQuery& query) {
  out_.Printf("<span class=\"vexa_results_per_page\"><label for=\"vexa_per_page\">%s</label>\n",
              config.langStrings[kStrFormResultsPerPage].c_str());
  out_.Write("<select id=\"vexa_per_page\" name=\"vexa_per_page\">");
  for (int32_t choice : kPerPageChoices)
    out_.Printf("<option%s>%d</option>",
                choice == query.itemsPerPage ? " selected=\"selected\"" : "", choice);
  out_.Write("</select></span>\n");
}

void SearchForm::WriteLabelledCategories(const Config& config, const VexaQuery& query) {
  const std::string& all = config.langStrings[kStrFormCategoryAll];
  const char* label = config.langStrings[kStrFormCategory].c_str();
  int32_t first = FirstCategory(query);
  if (!config.searchMultiCats) {
    out_.Printf("<span class=\"vexa_categories\"><label for=\"vexa_cat\">%s</label>\n", label);
    out_.Printf("<select id=\"vexa_cat\" name=\"vexa_cat[]\"><option value=\"-1\">%s</option>",
                all.c_str());
    for (size_t v = 0; v < config.categoryNames.size(); ++v)
      out_.Printf("<option value=\"%zu\"%s>%s</option>", v,
                  static_cast<int32_t>(v) == first ? " selected=\"selected\"" : "",
                  config.categoryNames[v].c_str());
    out_.Write("</select></span>\n");
    return;
  }
  out_.Printf("<fieldset class=\"vexa_categories\"><legend>%s</legend>\n<ul>\n", label);
  out_.Printf(
      "<li><label><input type=\"checkbox\" name=\"vexa_cat[]\" value=\"-1\"%s /> "
      "%s</label></li>\n",
      first == -1 ? " checked=\"checked\"" : "", all.c_str());
  for (size_t v = 0; v < config.categoryNames.size(); ++v) {
    bool checked = first != -1 && IsSelected(query, static_cast<int32_t>(v));
    out_.Printf(
        "<li><label><input type=\"checkbox\" name=\"vexa_cat[]\" value=\"%zu\"%s /> "
        "%s</label></li>\n",
        v, checked ? " checked=\"checked\"" : "", config.categoryNames[v].c_str());
  }
  out_.Write("</ul></fieldset>\n");
}

void SearchForm::WriteLabelledMatch(const Config& config, const VexaQuery& query) {
  const char* checked = " checked=\"checked\"";
  out_.Printf("<fieldset class=\"vexa_match\"><legend>%s</legend>\n",
              config.langStrings[kStrFormMatch].c_str());
  out_.Printf("<label><input type=\"radio\" name=\"vexa_and\" value=\"0\"%s /> %s</label>\n",
              query.wordMatchAll ? "" : checked, config.langStrings[kStrFormAnySearchWords].c_str());
  out_.Printf("<label><input type=\"radio\" name=\"vexa_and\" value=\"1\"%s /> %s</label>\n",
              query.wordMatchAll ? checked : "", config.langStrings[kStrFormAllSearchWords].c_str());
  out_.Write("</fieldset>\n");
  out_.Printf("<input type=\"hidden\" name=\"vexa_sort\" value=\"%d\" />\n",
              query.sortDate ? 1 : 0);
}

void SearchForm::WriteHiddenChoices(const VexaQuery& query) {
  out_.Printf("<input type=\"hidden\" name=\"vexa_per_page\" value=\"%d\" />\n",
              query.itemsPerPage);
  out_.Printf("<input type=\"hidden\" name=\"vexa_and\" value=\"%d\" />\n",
              query.wordMatchAll ? 1 : 0);
  out_.Printf("<input type=\"hidden\" name=\"vexa_sort\" value=\"%d\" />\n",
              query.sortDate ? 1 : 0);
}

void SearchForm::WriteQueryBox(const Config& config, const VexaQuery& query) {
  out_.Printf("<form method=\"get\" action=\"%s\" class=\"vexa_searchform\">\n",
              EscapeHtml(query.linkBase).c_str());
  out_.Printf("%s <input type=\"text\" name=\"vexa_query\" size=\"20\" ",
              config.langStrings[kStrFormSearchFor].c_str());
  out_.Printf("value=\"%s\" class=\"vexa_searchbox\" />\n", query.query_out.c_str());
  out_.Printf("<input type=\"submit\" value=\"%s\" class=\"vexa_button\" />\n",
              config.langStrings[kStrFormSubmitButton].c_str());
}

void SearchForm::WriteForm(const Config& config, const VexaQuery& query) {
  const bool labelled = config.pageMarkup == 1;
  if (labelled)
    WriteLabelledQuery(config, query);
  else
    WriteQueryBox(config, query);
  if (config.formFormat != kAdvancedForm) {
    WriteHiddenChoices(query);
  } else if (labelled) {
    WriteLabelledPerPage(config, query);
    if (config.useCats) WriteLabelledCategories(config, query);
    WriteLabelledMatch(config, query);
  } else {
    WriteResultsPerPage(config, query);
    if (config.useCats) WriteCategories(config, query);
    WriteMatchChoice(config, query);
  }
  out_.Write("</form>\n");
}

Status SearchForm::DisplaySearchForm(const Config& config, const VexaQuery& query) {
  if (config.formFormat > 0) WriteForm(config, query);
  if (query.rawQuery.empty()) {
    if (config.formFormat <= 0) out_.Printf("%s<br />", config.langStrings[kStrNoQuery].c_str());
    return kNothingToSearch;
  }
  if (static_cast<int64_t>(query.currentPageNum) * query.itemsPerPage >= kMaxResultsReachable) {
    out_.Printf("%s<br />", config.langStrings[kStrMaxResults].c_str());
    return kNothingToSearch;
  }
  return kOk;
}

}  // namespace quorix
