#!/usr/bin/env python3
"""The training documents of the profiled build: the body is found at the top
level only, and a corpus file with its body repeated still converts, to a page
that shows the body's text as many times as it was repeated.

    training_documents_test.py --tools DIR
"""
import argparse
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', '..', 'bench'))
import training_documents  # noqa: E402

TOOLS = ''


class BodyStart(unittest.TestCase):
    def test_the_first_paragraph_at_the_top_level(self):
        cases = [
            (b'{\\rtf1{\\stylesheet{\\pard\\s1 Normal;}}\\pard Body}', b'\\pard Body}'),
            (b'{\\rtf1 \\{ \\sectd\\pard Text}', b'\\sectd\\pard Text}'),  # an escaped brace is no group
            (b'{\\rtf1{\\info{\\title \\}}}\\pard x}', b'\\pard x}'),
            (b'{\\rtf1\\\\pard{\\fonttbl}\\pard y}', b'\\pard y}'),  # an escaped backslash, then a word
        ]
        for rtf, body in cases:
            self.assertEqual(rtf[training_documents.body_start(rtf):], body, rtf)
        self.assertEqual(training_documents.body_start(b'{\\rtf1{\\pard inner}}'), -1)


class RepeatedCorpusFile(unittest.TestCase):
    def test_converts_with_its_text_repeated(self):
        corpus = os.path.join(HERE, 'corpus', 'abiword_features.rtf')
        with tempfile.TemporaryDirectory() as work:
            subprocess.run([sys.executable, training_documents.__file__, '200000', work, corpus], check=True)
            large = os.path.join(work, 'abiword_features.rtf')
            pages = []
            for rtf in (corpus, large):
                page = os.path.join(work, 'page%d.html' % len(pages))
                subprocess.run([os.path.join(TOOLS, 'icf2html'), rtf, page], check=True)
                with open(page, encoding='latin-1') as f:
                    pages.append(f.read().partition('<BODY>')[2])  # the title once, in the head
            with open(corpus, 'rb') as f:
                rtf = f.read()
            copies = 200000 // (len(rtf) - training_documents.body_start(rtf))
            self.assertGreater(copies, 10)
            self.assertGreater(os.path.getsize(large), 190000)
            word = 'Harbour'
            self.assertGreater(pages[0].count(word), 0)
            self.assertEqual(pages[1].count(word), copies * pages[0].count(word))


if __name__ == '__main__':
    parser = argparse.ArgumentParser()
    parser.add_argument('--tools', required=True)
    arguments, rest = parser.parse_known_args()
    TOOLS = arguments.tools
    unittest.main(argv=[sys.argv[0]] + rest)
