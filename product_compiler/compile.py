#!/usr/bin/python3
"""Reads a product folder, checks every value, and writes what the build
and the tests take from it.

    compile.py --product <folder> --out <folder> [--language <language>]
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from product_compiler.errors import ProductError  # noqa: E402
from product_compiler.reading import read_product  # noqa: E402
from product_compiler.writing import generate, write_outputs  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--product", required=True, help="the product folder")
    parser.add_argument("--out", required=True, help="where the generated files go")
    parser.add_argument("--language", help="the language built in, or with choose_language = "
                        "at_start the fallback; one of the product's languages")
    args = parser.parse_args()
    try:
        product, pictures = read_product(args.product)
        if args.language and args.language not in product["languages"]:
            raise ProductError(os.path.join(args.product, "product.ini"), "languages",
                               f"LAUNCHER_LANGUAGE={args.language} is not one of them ("
                               + " ".join(product["languages"]) + ")")
        fallback = args.language or product["languages"][0]
        write_outputs(args.out, generate(product, pictures, args.product, fallback))
    except ProductError as e:
        print(e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
