#!/usr/bin/perl
# Reads a BibTeX file with btparse (Text::BibTeX) and prints one JSON line per
# entry: whether it parsed, its type, key and fields in order (values as
# btparse delivers them: delimiters off, macros expanded, "#" pieces pasted,
# blanks collapsed), and every message btparse gave while reading it.
#
# Usage: parse_bib.pl FILE.bib
use strict;
use warnings;
use File::Temp qw(tempfile);
use JSON::PP;
use Text::BibTeX;

my $name = shift @ARGV or die "usage: parse_bib.pl FILE.bib\n";
my $bib = Text::BibTeX::File->new($name) or die "cannot open $name: $!\n";

# btparse writes its warnings straight to file descriptor 2; send them to a
# file so that each message can be told to the entry being read.
my ($log, $log_name) = tempfile(UNLINK => 1);
open(my $saved_stderr, '>&', \*STDERR) or die "dup stderr: $!\n";
open(STDERR, '>&', $log) or die "redirect stderr: $!\n";
STDERR->autoflush(1);
my $seen = 0;

sub new_messages {
  open(my $in, '<', $log_name) or die "read $log_name: $!\n";
  local $/;
  my $all = <$in> // '';
  close $in;
  my $new = substr($all, $seen);
  $seen = length $all;
  return $new;
}

my $json = JSON::PP->new->canonical->ascii;
while (my $entry = Text::BibTeX::Entry->new($bib)) {
  my %out = (ok => $entry->parse_ok ? JSON::PP::true : JSON::PP::false);
  $out{type} = $entry->type;
  $out{key} = $entry->key if $entry->parse_ok && defined $entry->key;
  $out{fields} = [map { [$_, $entry->get($_)] } $entry->fieldlist]
    if $entry->parse_ok;
  $out{messages} = new_messages();
  print $json->encode(\%out), "\n";
}
my $rest = new_messages();
open(STDERR, '>&', $saved_stderr) or die "restore stderr: $!\n";
print STDERR $rest if $rest ne '';
