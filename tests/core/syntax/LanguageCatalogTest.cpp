#include "core/syntax/LanguageCatalog.h"
#include "core/syntax/LanguageID.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>

namespace vendrix {
namespace {

using test::u16;
using Answer = std::optional<std::string>;

TEST(LanguageCatalogTest, DefinitionsInOrderWithUniqueKeys) {
    const auto& all = LanguageCatalog::all();
    std::vector<std::string> ids;
    std::set<std::string> extensions, fileNames;
    for (const auto& definition : all) {
        ids.push_back(definition.id);
        ASSERT_TRUE(definition.tokenizer) << definition.id;
        EXPECT_TRUE(definition.lineComment || definition.blockComment) << definition.id;
        for (const auto& ext : definition.extensions)
            EXPECT_TRUE(extensions.insert(ext).second) << ext;
        for (const auto& name : definition.fileNames)
            EXPECT_TRUE(fileNames.insert(name).second) << name;
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"json", "xml", "html", "javascript", "typescript",
                                             "swift", "csharp", "python", "sql", "markdown", "yaml",
                                             "shell", "css"}));
    EXPECT_EQ(LanguageCatalog::definition(std::nullopt), nullptr);
    EXPECT_EQ(LanguageCatalog::definition(LanguageID::plainText), nullptr);
    EXPECT_EQ(LanguageCatalog::definition("rust"), nullptr);
    EXPECT_EQ(LanguageCatalog::definition("css")->blockComment->open, u"/*");
    EXPECT_FALSE(LanguageCatalog::definition("css")->lineComment);
    EXPECT_EQ(*LanguageCatalog::definition("sql")->lineComment, u"--");

    EXPECT_EQ(LanguageCatalog::name(LanguageID::plainText), std::nullopt);
    EXPECT_EQ(LanguageCatalog::name(std::nullopt), std::nullopt);
    EXPECT_EQ(LanguageCatalog::name("csharp"), Answer("C#"));
    EXPECT_EQ(LanguageCatalog::name("rust"), Answer("rust"));
}

TEST(LanguageCatalogTest, DetectsByFileName) {
    const std::pair<const char*, Answer> cases[] = {
        {"Main.SWIFT", "swift"},    {"notes.txt", std::nullopt},  {".bashrc", "shell"},
        {"SConstruct", "python"},   {"archive.tar.json", "json"}, {".zshrc.local", std::nullopt},
        {"page.HTM", "html"},       {"style.scss", "css"},        {".clang-format", "yaml"},
        {"Makefile", std::nullopt}, {"trailing.", std::nullopt},  {"ÇALIŞMA.MD", "markdown"},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(LanguageCatalog::languageForFileName(name), expected) << name;
    EXPECT_EQ(LanguageCatalog::languageForExtension("YML"), Answer("yaml"));
    EXPECT_EQ(LanguageCatalog::languageForExtension("rs"), std::nullopt);
}

TEST(LanguageCatalogTest, DetectsByFirstLine) {
    const std::pair<const char*, Answer> cases[] = {
        {"#!/usr/bin/env python3", "python"},
        {"#!/bin/zsh -f", "shell"},
        {"#! /usr/bin/node", "javascript"},
        {"#!/usr/bin/env -S deno run", "javascript"},
        {"#!/usr/bin/perl", std::nullopt},
        {"#!/usr/bin/env -i", std::nullopt},
        {"#!/usr/bin/env ts-node", "typescript"},
        {"\xEF\xBB\xBF#!/bin/sh", "shell"},
        {"#!", std::nullopt},
        {"#!///", std::nullopt},
        {"<?xml version=\"1.0\"?>", "xml"},
        {"python3", std::nullopt},
    };
    for (const auto& [line, expected] : cases)
        EXPECT_EQ(LanguageCatalog::languageForFirstLine(u16(line)), expected) << line;
}

TEST(LanguageCatalogTest, DetectsByContentPrefix) {
    const std::pair<const char*, Answer> cases[] = {
        {"  <!DOCTYPE HTML>", "html"},
        {"<svg xmlns=\"http://www.w3.org/2000/svg\">", "xml"},
        {"<div>", "html"},
        {"<DIV class=x>", "html"},
        {"<br", std::nullopt},
        {"<!-- x -->", std::nullopt},
        {"{\"a\":1}", "json"},
        {"{ }", std::nullopt},
        {"[{", "json"},
        {"[1, 2]", std::nullopt},
        {"", std::nullopt},
        {"\n\t {\n  \"k\": 1}", "json"},
        {"<html lang=tr>", "html"},
        {"<?XML version", "xml"},
        {"<ns:root/>", "xml"},
        {"<öğe>", "xml"},
        {"plain words", std::nullopt},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(LanguageCatalog::languageForContentPrefix(u16(text)), expected) << text;
}

TEST(LanguageCatalogTest, DetectionOrderIsNameThenFirstLineThenContent) {
    EXPECT_EQ(LanguageCatalog::detect("build.sh", u"<html>"), Answer("shell"));
    EXPECT_EQ(LanguageCatalog::detect("dir/tool", u"#!/usr/bin/env node\nx"), Answer("javascript"));
    EXPECT_EQ(LanguageCatalog::detect("data", u"\n\n[{\"a\": 1}]"), Answer("json"));
    EXPECT_EQ(LanguageCatalog::detect("README", u"hello"), std::nullopt);
}

} // namespace
} // namespace vendrix
