{ rf-tdbf: writes and reads dBASE tables with Free Pascal's TDbf, an xBase engine written
  independently of ours, so the interop tests can check each side against the other.

    rf-tdbf write FILE LEVEL ROWS   creates FILE at TDbf table level LEVEL (3, 4, 7 dBASE;
                                    25 FoxPro) with the fields NAME C(20), QTY N(10,2),
                                    CNT N(9), BORN D, OK L, NOTE M; levels 4 and 7 also get the
                                    production MDX tags NAME (NAME), UNAME (UPPER(NAME)),
                                    QTY (QTY, descending), BORN (DTOS(BORN)) and CNT (CNT,
                                    unique). ROWS has one record a line, tab-separated in field
                                    order: dates YYYY-MM-DD, logicals T or F, an empty cell
                                    leaves the field blank; in NOTE \n \r \t \\ stand for
                                    themselves.
    rf-tdbf dump FILE [TAG]         prints the field names, then every live record in record
                                    order or in the order of TAG, tab-separated, in the same
                                    forms (text without trailing blanks, blank fields empty).

  Exit code 0 on success, 1 with a message on standard error otherwise. }
program rf_tdbf;

{$mode objfpc}{$H+}

uses
  SysUtils, Classes, db, dbf;

var
  Fmt: TFormatSettings;

function Escape(const s: string): string;
var
  i: Integer;
begin
  Result := '';
  for i := 1 to Length(s) do
    case s[i] of
      #10: Result := Result + '\n';
      #13: Result := Result + '\r';
      #9: Result := Result + '\t';
      '\': Result := Result + '\\';
    else
      Result := Result + s[i];
    end;
end;

function Unescape(const s: string): string;
var
  i: Integer;
begin
  Result := '';
  i := 1;
  while i <= Length(s) do
  begin
    if (s[i] = '\') and (i < Length(s)) then
    begin
      Inc(i);
      case s[i] of
        'n': Result := Result + #10;
        'r': Result := Result + #13;
        't': Result := Result + #9;
      else
        Result := Result + s[i];
      end;
    end
    else
      Result := Result + s[i];
    Inc(i);
  end;
end;

procedure SplitTabs(const line: string; cells: TStrings);
var
  start, i: Integer;
begin
  cells.Clear;
  start := 1;
  for i := 1 to Length(line) do
    if line[i] = #9 then
    begin
      cells.Add(Copy(line, start, i - start));
      start := i + 1;
    end;
  cells.Add(Copy(line, start, Length(line) - start + 1));
end;

function ParseDate(const s: string): TDateTime;
begin
  Result := EncodeDate(StrToInt(Copy(s, 1, 4)), StrToInt(Copy(s, 6, 2)), StrToInt(Copy(s, 9, 2)));
end;

procedure WriteTable(const path: string; level: Integer; const rowsPath: string);
var
  d: TDbf;
  rows: TextFile;
  line: string;
  cells: TStringList;
begin
  d := TDbf.Create(nil);
  cells := TStringList.Create;
  try
    d.FilePathFull := ExtractFilePath(ExpandFileName(path));
    d.TableName := ExtractFileName(path);
    d.TableLevel := level;
    d.Exclusive := True;
    d.FieldDefs.Add('NAME', ftString, 20, False);
    with d.FieldDefs.AddFieldDef do
    begin
      Name := 'QTY';
      DataType := ftFloat;
      Size := 10;
      Precision := 2;
    end;
    d.FieldDefs.Add('CNT', ftInteger, 0, False);
    d.FieldDefs.Add('BORN', ftDate, 0, False);
    d.FieldDefs.Add('OK', ftBoolean, 0, False);
    d.FieldDefs.Add('NOTE', ftMemo, 0, False);
    d.CreateTable;
    d.Open;
    if (level = 4) or (level = 7) then
    begin
      d.AddIndex('NAME', 'NAME', []);
      d.AddIndex('UNAME', 'UPPER(NAME)', [ixExpression]);
      d.AddIndex('QTY', 'QTY', [ixDescending]);
      d.AddIndex('BORN', 'DTOS(BORN)', [ixExpression]);
      d.AddIndex('CNT', 'CNT', [ixUnique]);
    end;
    AssignFile(rows, rowsPath);
    Reset(rows);
    while not Eof(rows) do
    begin
      ReadLn(rows, line);
      if line = '' then
        Continue;
      SplitTabs(line, cells);
      while cells.Count < 6 do
        cells.Add('');
      d.Append;
      if cells[0] <> '' then d.FieldByName('NAME').AsString := cells[0];
      if cells[1] <> '' then d.FieldByName('QTY').AsFloat := StrToFloat(cells[1], Fmt);
      if cells[2] <> '' then d.FieldByName('CNT').AsInteger := StrToInt(cells[2]);
      if cells[3] <> '' then d.FieldByName('BORN').AsDateTime := ParseDate(cells[3]);
      if cells[4] <> '' then d.FieldByName('OK').AsBoolean := cells[4] = 'T';
      if cells[5] <> '' then d.FieldByName('NOTE').AsString := Unescape(cells[5]);
      d.Post;
    end;
    CloseFile(rows);
    d.Close;
  finally
    cells.Free;
    d.Free;
  end;
end;

function FieldText(f: TField): string;
begin
  if f.IsNull then
    Exit('');
  case f.DataType of
    ftFloat, ftCurrency, ftBCD, ftFMTBcd:
      Result := FloatToStr(f.AsFloat, Fmt);
    ftSmallint, ftInteger, ftWord, ftLargeint, ftAutoInc:
      Result := IntToStr(f.AsLargeInt);
    ftDate, ftDateTime:
      Result := FormatDateTime('yyyy-mm-dd', f.AsDateTime);
    ftBoolean:
      if f.AsBoolean then Result := 'T' else Result := 'F';
    ftMemo, ftWideMemo, ftFmtMemo:
      Result := Escape(f.AsString);
  else
    Result := Escape(TrimRight(f.AsString));
  end;
end;

procedure DumpTable(const path, tag: string);
var
  d: TDbf;
  i: Integer;
  line: string;
begin
  d := TDbf.Create(nil);
  try
    d.FilePathFull := ExtractFilePath(ExpandFileName(path));
    d.TableName := ExtractFileName(path);
    d.ReadOnly := True;
    d.Open;
    if tag <> '' then
      d.IndexName := tag;
    line := '';
    for i := 0 to d.FieldCount - 1 do
    begin
      if i > 0 then line := line + #9;
      line := line + d.Fields[i].FieldName;
    end;
    WriteLn(line);
    d.First;
    while not d.EOF do
    begin
      line := '';
      for i := 0 to d.FieldCount - 1 do
      begin
        if i > 0 then line := line + #9;
        line := line + FieldText(d.Fields[i]);
      end;
      WriteLn(line);
      d.Next;
    end;
    d.Close;
  finally
    d.Free;
  end;
end;

begin
  Fmt := DefaultFormatSettings;
  Fmt.DecimalSeparator := '.';
  Fmt.ThousandSeparator := #0;
  try
    if (ParamCount = 4) and (ParamStr(1) = 'write') then
      WriteTable(ParamStr(2), StrToInt(ParamStr(3)), ParamStr(4))
    else if ((ParamCount = 2) or (ParamCount = 3)) and (ParamStr(1) = 'dump') then
      DumpTable(ParamStr(2), ParamStr(3))
    else
    begin
      WriteLn(StdErr, 'usage: rf-tdbf write FILE LEVEL ROWS | rf-tdbf dump FILE [TAG]');
      Halt(2);
    end;
  except
    on e: Exception do
    begin
      WriteLn(StdErr, 'rf-tdbf: ', e.ClassName, ': ', e.Message);
      Halt(1);
    end;
  end;
end.
